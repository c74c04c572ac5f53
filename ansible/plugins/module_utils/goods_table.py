# -*- coding: utf-8 -*-
# Goods exchange files (dBase or CSV) read into comparable records, so that a
# table is written to a register only when the register's differs from it.
from __future__ import absolute_import, division, print_function
__metaclass__ = type

import csv
import io
import os
import struct
from decimal import Decimal, InvalidOperation

# The sold quantity (COUNT) is left out: a write keeps the register's.
FIELDS = ('TYPE', 'NAME', 'NG', 'PRICE', 'SECTION', 'VESOVOY', 'SHTRIH', 'ISBLOCK')
TRUE_WORDS = ('1', 't', 'y', 'true', 'да')


def read_table(path):
    """{code: {field: value}} of a goods file; rows without a code skipped.
    Raises ValueError with the reason when the file cannot be read."""
    rows = _read_dbf(path) if os.path.splitext(path)[1].lower() != '.csv' else _read_csv(path)
    table = {}
    for row in rows:
        code = (row.get('CODE') or '').strip()
        if code:
            table[_whole(code)] = _record(row)
    return table


def differing(wanted, held):
    """Codes of the file whose record on the register is not as in the file;
    a row of type 0 removes its code."""
    codes = []
    for code, record in sorted(wanted.items()):
        if record['TYPE'] == 0 and code not in held:
            continue
        if held.get(code) != record:
            codes.append(code)
    return codes


def _record(row):
    get = dict((k.upper(), (v or '').strip()) for k, v in row.items() if k)
    missing = [f for f in FIELDS if f not in get]
    if missing:
        raise ValueError('no field %s' % ', '.join(missing))
    rec = dict((f, _whole(get[f])) for f in ('TYPE', 'NG', 'SECTION', 'VESOVOY'))
    try:
        rec['PRICE'] = Decimal(get['PRICE'].replace(',', '.') or '0').quantize(Decimal('0.01'))
    except InvalidOperation:
        raise ValueError('PRICE %r is not a number' % get['PRICE'])
    rec.update(NAME=get['NAME'], SHTRIH=get['SHTRIH'], ISBLOCK=get['ISBLOCK'].lower() in TRUE_WORDS)
    return rec


def _whole(text):
    try:
        return int(Decimal(text.replace(',', '.') or '0'))
    except InvalidOperation:
        raise ValueError('%r is not a number' % text)


def _read_csv(path):
    with open(path, 'rb') as f:
        raw = f.read()
    try:
        text = raw.decode('utf-8-sig')
    except UnicodeDecodeError:
        text = raw.decode('cp1251')
    header = text.split('\n', 1)[0]
    marks = [i for i in (header.find(';'), header.find(','), header.find('\t')) if i >= 0]
    delimiter = header[min(marks)] if marks else ';'
    return list(csv.DictReader(io.StringIO(text, newline=''), delimiter=delimiter))


def _read_dbf(path):
    with open(path, 'rb') as f:
        data = f.read()
    if len(data) < 32:
        raise ValueError('not a dBase file')
    count, header_size, record_size = struct.unpack('<IHH', data[4:12])
    fields, pos = [], 32
    while pos + 32 <= header_size and data[pos] != 0x0D:
        fields.append((data[pos:pos + 11].split(b'\0')[0].decode('ascii'), data[pos + 16]))
        pos += 32
    rows = []
    for n in range(count):
        start = header_size + n * record_size
        record = data[start:start + record_size]
        if len(record) < record_size or record[:1] == b'*':
            continue
        row, at = {}, 1
        for name, size in fields:
            row[name] = record[at:at + size].decode('cp1251')
            at += size
        rows.append(row)
    return rows
