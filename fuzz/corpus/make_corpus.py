#!/usr/bin/env python3
"""Writes the starting inputs of the fuzz targets into fuzz/corpus/<target>/.

The starting inputs are the frames, records, lines and files the tests use, laid out
the way each target reads its input (see the comment at the top of each
fuzz/<target>.cpp). Run from anywhere; existing inputs are replaced.
"""
import hashlib
import os
import shutil
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def put(target, data, name=None):
    d = os.path.join(HERE, target)
    os.makedirs(d, exist_ok=True)
    if isinstance(data, str):
        data = data.encode('utf-8')
    name = name or hashlib.sha1(data).hexdigest()[:16]
    with open(os.path.join(d, name), 'wb') as f:
        f.write(data)


def cp1251(s):
    return s.encode('cp1251')


# ---- link --------------------------------------------------------------------

def packed(net):
    return ((net // 10) % 10) << 4 | net % 10


def control(net, c, bad_sum=False):
    a = packed(net)
    s = (-(a + c)) & 0xFF
    if bad_sum:
        s ^= 1
    return bytes([0x7F, 0x02, a, c, s])


def block(data, lead=0x00, bad_sum=False):
    out = bytearray([lead])
    for b in data:
        out.append(b)
        if b == 0x7F:
            out.append(0x10)
    out += b'\x7f\x03'
    s = (-sum(data)) & 0xFF
    out.append(s ^ 1 if bad_sum else s)
    return bytes(out)


def link_inputs():
    ident = bytes([0x01, 0x01, 0x00]) + b'R1.025\x00\x00' + b'00012345' + bytes([0x01])
    clock = bytes([0x01, 0x02, 0x00, 0x08, 0x12, 0x26, 0x14, 0x22, 0x05])
    options = bytes([0x01, 0x09, 0x00]) + bytes(range(1, 38))
    escaped = bytes([0x01, 0x0F, 0x00, 0x7F, 0x7F, 0x01, 0x7F])
    streams = {
        'ack_then_answer': control(1, 0xEA) + control(1, 0xA0) + block(ident),
        'ready_wait_busy': control(1, 0xE5) + control(1, 0xE7) + control(1, 0xE9),
        'syn_rst_disc_rej': control(1, 0xEC) + control(1, 0xEF) + control(1, 0xE0) + control(1, 0xE3),
        'clock_answer': control(1, 0xA0) + block(clock),
        'options_answer': control(1, 0xA1) + block(options),
        'escaped_data': control(1, 0xA2) + block(escaped),
        'more_frames': control(1, 0xB3) + block(escaped[:4]) + control(1, 0xA4) + block(escaped[4:]),
        'bad_control_sum': control(1, 0xEA, bad_sum=True) + control(1, 0xA0) + block(clock),
        'bad_block_sum': control(1, 0xA0) + block(clock, bad_sum=True),
        'bad_escape': control(1, 0xA0) + bytes([0x00, 0x01, 0x7F, 0x55, 0x00]),
        'overflow': control(1, 0xA0) + bytes([0x00]) + bytes([0x11]) * 300 + b'\x7f\x03\x00',
        'cut_short': control(1, 0xA0) + block(ident)[:6],
        'other_register': control(2, 0xEA) + control(1, 0xEA),
        'lead_byte_7f': control(1, 0xA0) + block(clock, lead=0x7F),
    }
    for name, s in streams.items():
        put('LinkFrames', bytes([0xC4]) + s, name)  # net 1, 256-byte buffer
        put('LinkPort', bytes([0x00]) + s, name)    # net 1
    put('LinkFrames', bytes([0xCF]) + control(12, 0xEA) + control(12, 0xA0) + block(clock), 'net12')
    put('LinkFrames', bytes([0x04]) + control(1, 0xA0) + block(clock), 'small_buffer')
    put('LinkPort', bytes([0x0B]) + control(12, 0xEA) + control(12, 0xA0) + block(clock), 'net12')


# ---- journal -----------------------------------------------------------------

def bcd(digits, n):
    d = digits if len(digits) % 2 == 0 else '0' + digits
    out = bytearray(n)
    for k in range(min(len(d) // 2, n)):
        at = len(d) - 2 * (k + 1)
        out[k] = int(d[at]) * 16 + int(d[at + 1])
    return bytes(out)


HEADER = bytes([0x01, 0x0F, 0x00])


def sum_rec(code, op, qty, price, tax, section):
    return bytes([code, op]) + bcd(qty, 5) + bcd(price, 5) + bcd(str(tax), 1) + bytes([section, 0])


def code_rec(code, op, goods, qty, price, tax, section):
    return bytes([code, op]) + bcd(goods, 3) + bcd(qty, 5) + bcd(price, 5) + bcd(str(tax), 1) + bytes([section, 0])


def skidki_rec(code, op, value, amount, tax, section):
    return bytes([code, op]) + bcd(value, 2) + bcd(amount, 5) + bcd(str(tax), 1) + bytes([section, 0])


def pi_rec(code, op, amount):
    return bytes([code, op]) + bcd(amount, 7) + b'\x00'


def tax_rec(code, op, rate, amount):
    return bytes([code, op]) + bcd(str(rate), 1) + bcd(amount, 7) + b'\x00'


def nalich_rec(op, kind, total, cash):
    return bytes([0xC9, op, kind]) + bcd(total, 7) + bcd(cash, 7) + b'\x00'


def close_rec(kind, number, date, time, fiscal, oper):
    return bytes([0xCA, kind]) + bcd(number, 4) + bytes(date) + bytes(time) + bytes([fiscal]) + bcd(str(oper), 1) + b'\x00'


def worked_receipt():
    return (code_rec(0xA3, 1, '12', '2000', '1250', 1, 1) + pi_rec(0xB5, 2, '2500') + tax_rec(0xC1, 3, 1, '2500') +
            nalich_rec(4, 0, '2500', '3000') + close_rec(1, '15', [0x05, 0x03, 0x07], [0x14, 0x22], 0x4B, 1))


def journal_inputs():
    every_kind = (sum_rec(0xA1, 1, '1500', '1000', 2, 3) + sum_rec(0xAC, 2, '1000', '100', 1, 1) +
                  code_rec(0xA8, 1, '7', '1000', '500', 1, 2) + skidki_rec(0xB1, 2, '500', '250', 1, 1) +
                  pi_rec(0xB7, 4, '12345') + tax_rec(0xC3, 5, 3, '100') + nalich_rec(3, 1, '2500', '2000') +
                  close_rec(2, '7', [0x01, 0x02, 0x03], [0x10, 0x00], 0x00, 3) + bytes([0xCB, 0x05, 0x00]) +
                  bytes([0xCC, 0x12, 0x00]))
    packets = {
        'worked_receipt': HEADER + worked_receipt(),
        'every_kind': HEADER + every_kind,
        'end_packet': bytes([0x01, 0x0F, 0x26]),
        'unknown_bytes': HEADER + bytes([0x10, 0x20, 0xAA, 0x30]) + worked_receipt()[:18],
        'cut_record': HEADER + worked_receipt()[:25],
        'two_headers': HEADER + worked_receipt()[:18] + HEADER + worked_receipt()[18:],
        'edge_values': HEADER + sum_rec(0xA1, 255, '9999999999', '9999999999', 9, 255) + bytes([0xA1]) + b'\xff' * 14,
    }
    for name, p in packets.items():
        put('MagazinePacket', bytes([0x00]) + b'\x05\x11\x30' + b'\x00' + p, name)
    # Records-only mode: each picking byte then the record's other bytes.
    put('MagazinePacket', bytes([0x01]) + b'\x07\x02' + b'\x00' + bytes([2]) + worked_receipt()[1:18], 'records_cut')
    put('MagazinePacket', bytes([0x03]) + b'' + b'\x00' + bytes([27]) + close_rec(1, '15', [5, 3, 7], [0x14, 0x22], 0x4B, 1)[1:],
        'records_close')

    lines = ['A3;1;12;2000;1250;1;1', 'B5;2;2500', 'C1;3;1;2500', 'C9;4;1;2500;3000', 'CA;1;15;05.03.07;14:22;F;1',
             'A1;1;1500;1000;2;3', 'AC;2;1000;100;1;1', 'A6;2;1000;500;1;1', 'A8;1;7;1000;500;1;2',
             'A1;2;1234567890;100;1;1', 'C9;1;3;10000;0', 'C9;3;7;100;0', 'CA;4;8;;;F;12', 'CB;5', 'CC;12',
             'B1;2;500;250;1;1', 'B4;3;0;5;2;4', 'B7;4;12345', 'C3;5;3;100', 'A1;1;00A0;100;1;1', 'A3;1;12;1e3;100;1;1',
             'C9;4;x;100;0', 'CA;;15;05.03.07;14:22;F;1', 'A1;1;1000', 'CB;;', '0F;1;2;3',
             'A1;1;' + '9' * 40 + ';' + '9' * 40 + ';1;1']
    for line in lines:
        put('MagazineRender', line)
    put('MagazineRender', '\r\n'.join(lines[:5]) + '\r\n', 'worked_receipt_file')
    put('MagazineRender', 'CB;1\n\r\nCB;2\n', 'bare_line_feeds')


# ---- dBase tables ------------------------------------------------------------

def dbf(fields, records, version=0x03, language=0xC9, count=None, header_size=None, record_size=None, eof=True,
        deleted=()):
    """fields: (name, kind, width, decimals); records: lists of field byte strings."""
    rs = 1 + sum(f[2] + 256 * f[3] if f[1] == 'C' else f[2] for f in fields)
    hs = 32 + 32 * len(fields) + 1
    head = bytearray(32)
    head[0] = version
    head[1:4] = bytes([126, 3, 7])
    struct.pack_into('<IHH', head, 4, len(records) if count is None else count,
                     hs if header_size is None else header_size, rs if record_size is None else record_size)
    head[29] = language
    for name, kind, width, dec in fields:
        d = bytearray(32)
        d[0:len(name)] = name.encode('ascii')
        d[11] = ord(kind)
        d[16] = width
        d[17] = dec
        head += d
    head += b'\x0d'
    body = bytearray()
    for i, rec in enumerate(records):
        body += b'*' if i in deleted else b' '
        for (name, kind, width, dec), value in zip(fields, rec):
            w = width + 256 * dec if kind == 'C' else width
            body += value.ljust(w, b' ')[:w]
    return bytes(head) + bytes(body) + (b'\x1a' if eof else b'')


def dbf_inputs():
    profile = [('LN', 'C', 20, 0), ('NUM', 'N', 9, 0), ('VAL', 'N', 9, 0), ('USED', 'L', 1, 0)]
    rows = [[b'3912345678', b'        1', b'        5', b'T'], [b'-3912345678', b'       64', b'      255', b'F'],
            [b'0', b'', b'', b'?']]
    put('DbfTable', dbf(profile, rows), 'profile_options')
    put('DbfTable', dbf(profile, rows, deleted={1}), 'deleted_record')
    put('DbfTable', dbf(profile, []), 'empty_table')
    put('DbfTable', dbf(profile, rows, eof=False), 'no_eof_mark')
    put('DbfTable', dbf(profile, rows, count=1000), 'count_larger_than_file')
    put('DbfTable', dbf(profile, rows, header_size=60000), 'header_size_larger_than_file')
    put('DbfTable', dbf(profile, rows, record_size=30), 'record_size_disagrees')
    put('DbfTable', dbf(profile, rows)[:-7], 'cut_inside_record')
    goods = [('CODE', 'N', 6, 0), ('NAME', 'C', 24, 0), ('PRICE', 'N', 12, 2), ('WEIGHT', 'L', 1, 0),
             ('SHTRIH', 'C', 20, 0), ('DATE', 'D', 8, 0), ('QTY', 'F', 12, 3)]
    grow = [[b'    12', cp1251('Хлеб ржаной'), b'       12.50', b'N', b'4600000000001', b'20240229', b'      1.500'],
            [b'999999', cp1251('Сахар, кг'), b'  9999999.99', b'Y', b'', b'        ', b'   -0.001'],
            [b'abc', b'\x00\x00', b'1e5', b'x', b'\xff' * 20, b'????????', b'.']]
    put('DbfTable', dbf(goods, grow), 'goods_exchange')
    put('DbfTable', dbf(goods, grow, language=0x26), 'goods_cp866')
    put('DbfTable', dbf(goods, grow, version=0x30), 'foxpro_version')
    put('DbfTable', dbf(goods, grow, version=0x8B), 'dbase4_with_memo_flag')
    put('DbfTable', dbf([('LONG', 'C', 44, 1), ('N', 'N', 3, 0)], [[b'x' * 300, b'  7']]), 'clipper_long_text')
    put('DbfTable', dbf([('MEMO', 'M', 10, 0), ('BIN', 'B', 8, 0), ('T', 'C', 5, 0)],
                        [[b'         1', b'\x00' * 8, b'hello']]), 'unreadable_kinds')
    put('DbfTable', b'\x03' + b'\x00' * 40, 'header_only')
    put('DbfTable', b'\x04' + b'\x00' * 40, 'dbase7')


# ---- language, initialisation files, option descriptions ---------------------------

def text_inputs():
    for name in sorted(os.listdir(os.path.join(ROOT, 'data', 'lang'))):
        with open(os.path.join(ROOT, 'data', 'lang', name), 'rb') as f:
            put('LanguageFile', f.read(), os.path.splitext(name)[0])
    put('LanguageFile', b'Start\r\n\r\n;only a comment\r\nNo errors ;code 0\r\n', 'comments')
    put('LanguageFile', b'x' * 1000 + b'\r\nnext\r\n', 'long_line')
    put('LanguageFile', ''.join('L%d\n' % i for i in range(60)), 'too_many_lines')
    put('LanguageFile', cp1251('Старт\r\nСтоп\r\n') + bytes(range(0x80, 0x100)), 'high_codes')

    def ini(section, key, value, file_bytes, name):
        put('IniFile', section.encode() + b'\0' + key.encode() + b'\0' + value.encode() + b'\0' + file_bytes, name)

    for name in sorted(os.listdir(os.path.join(ROOT, 'data', 'ECR_CFG'))):
        with open(os.path.join(ROOT, 'data', 'ECR_CFG', name), 'rb') as f:
            model = f.read()
        ini('opions', 'op3', '0,10,0,x', model, os.path.splitext(name)[0])
        put('OptionDescr', b'\xff' + model, os.path.splitext(name)[0])
    ini('Port', 'COMPort', '5', cp1251('[port]\r\ncomport = 5\r\n[Опции]\r\nОП1=Текст, с запятой\r\n'), 'cyrillic')
    ini('s', 'E', '1', b'[s]\nA=12x\nB=-40\nC=\nD= 300 \nE=99999999999\n', 'integers')
    ini('NET', 'NUMBER', '12', b'; comment\n[Port]\nCOMPort=1\n\n[NET]\nNUMBER=3\n[Other]\nx=y\n', 'write_in_place')
    ini('Exchange', 'File', 'goods.dbf',
        b'[Port]\r\nCOMPort=3\r\nSpeed=115200\r\nReadTotalTimeoutConstant=250\r\n[NET]\r\nNUMBER=1\r\n', 'settings')
    ini('MAIN', 'CurLang', 'English', b'[MAIN]\r\nCurLang="Deutsch"\r\n[main]\r\nx=1\r\n', 'lang_ini')
    ini('a', 'b', 'c', b'[unclosed\r\n=novalue\r\n ; a=1\r\n[]\r\nkey\r\n', 'odd_lines')

    descr = ["1,4,3,'Шрифт, системный'", "2,7,5,'Шрифт, системный", " 05 , 99 ,10,'  с нулём  '", "0,1,0,'x'",
             "x5,-1,3a,'y'", "'только текст'", "1,2,3,''", "2147483648,1,1,'x'", "2147483647,1,1,'x'", "0,0,0,''"]
    for i, d in enumerate(descr):
        put('OptionDescr', bytes([i * 7 % 64]) + d.encode('utf-8'))
    put('OptionDescr', bytes([0x80]) + b"1,2,3,'x'", 'slot_outside')


# ---- field views --------------------------------------------------------------

def view_inputs():
    # head byte: kind = head % 5; bit 3 set: width = head >> 4, else the view's
    # own width (numbers, hex and binary: 1 + (head >> 4) % 10).
    def view(head, field, text, name=None):
        put('FieldViews', bytes([head]) + bytes(field) + text.encode('utf-8'), name)

    view(0x00, [0x08, 0x12, 0x26], '08.12.26')
    view(0x00, [0xFF, 0xFF, 0xFF], '29.02.24')
    view(0x00, [0x00, 0x00, 0x00], '31.12.99')
    view(0x01, [0x12, 0x30], '23:59')
    view(0x01, [0xFF, 0xFF], '24:00')
    view(0x42, [0] * 5, '0123456789')
    view(0x22, [0] * 3, '12345')
    view(0x92, [0x99] * 10, '9999999999')
    view(0x13, [0x01, 0xAB], '01 AB FF')
    view(0x13, [0, 0], 'ab-CD')
    view(0x04, [0x07], '258')
    view(0x74, [0] * 8, '-1')
    view(0x94, [0] * 10, 'ff')
    view(0x38, [1, 2, 3], '08.12.26', 'date_wrong_width')
    view(0x0A, [], '12', 'number_width_zero')


def serve_inputs():
    """ServeRequest: a byte (1: with the token), then method, path, query and
    header lines each ended by a byte 0, then the body."""
    def request(name, method, path, query='', headers='', body=b'', token=1):
        put('ServeRequest', bytes([token]) + b'\0'.join(x.encode() for x in (method, path, query, headers)) + b'\0' + body,
            name)
    request('ports', 'GET', '/api/v1/ports')
    request('no_token', 'GET', '/api/v1/ports', token=0)
    request('page', 'GET', '/')
    request('page_escape', 'GET', '/../etc/passwd')
    request('empty_path', 'GET', '')  # once threw out of the page's file lookup
    request('info', 'GET', '/api/v1/registers/COM7/info', 'speed=19200&net=1')
    request('options', 'PUT', '/api/v1/registers/COM7/options', '', 'content-type:application/json',
            b'{"options":[{"number":3,"value":2}]}')
    request('departments', 'PUT', '/api/v1/registers/COM7/departments', body='{"departments":[{"number":1,"kind":'
            '"goods","name":"Хлеб","taxGroup":"A","price":"12.50"},{"number":8,"kind":"closed"}]}'.encode())
    request('lines', 'PUT', '/api/v1/registers/COM7/lines', body=b'{"header":{"font":3,"lines":["a",null,"b"]}}')
    request('write_all', 'POST', '/api/v1/registers/COM7/goods/write-all', 'format=csv', 'content-type:text/csv',
            b'CODE;TYPE;NAME;NG;PRICE;SECTION;VESOVOY;SHTRIH;ISBLOCK;COUNT\r\n5;170;x;1;350;1;1;;0;0\r\n')
    request('read_all', 'POST', '/api/v1/registers/COM7/goods/read-all', 'format=dbf')
    request('journal', 'POST', '/api/v1/registers/COM7/journal/read')
    request('job', 'GET', '/api/v1/jobs/1')
    request('job_stop', 'DELETE', '/api/v1/jobs/1')
    request('job_file', 'GET', '/api/v1/jobs/1/file')
    request('search', 'POST', '/api/v1/search', body=b'{"ports":[1,2],"allNets":true,"speed":19200,"net":1}')
    request('profile_apply', 'POST', '/api/v1/registers/device/profiles/apply', 'device=/dev/null', body=b'{"name":"x"}')
    request('goods', 'GET', '/api/v1/registers/COM7/goods/42')


def main():
    for t in ('LinkFrames', 'LinkPort', 'MagazinePacket', 'MagazineRender', 'DbfTable', 'LanguageFile', 'IniFile',
              'OptionDescr', 'FieldViews', 'ServeRequest'):
        shutil.rmtree(os.path.join(HERE, t), ignore_errors=True)
    link_inputs()
    journal_inputs()
    dbf_inputs()
    text_inputs()
    view_inputs()
    serve_inputs()
    return 0


if __name__ == '__main__':
    sys.exit(main())
