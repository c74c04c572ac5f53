# -*- coding: utf-8 -*-
# Stands in for vornik-cli in the unit tests: a register kept in a JSON file
# ($FAKE_VORNIK_STATE), every command line appended to $FAKE_VORNIK_LOG, and
# the tool's JSON answers, per-item reports and --check.
from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os
import sys


def main(argv):
    with open(os.environ['FAKE_VORNIK_LOG'], 'a') as log:
        log.write(json.dumps(argv) + '\n')
    with open(os.environ['FAKE_VORNIK_STATE']) as f:
        reg = json.load(f)
    if 'error' in reg:  # the register's failure, as the tool reports it
        print(json.dumps(dict(error=reg['error'])) if reg['error'].get('kind') else '')
        sys.stderr.write(reg['error']['message'] + '\n')
        return reg['error']['rc']
    check = '--check' in argv
    words = [a for a in argv if a.startswith(('-', '/')) is False or a == '-']
    words = [w for w in words if not w.isdigit()]
    command = ' '.join(words[:2])
    reads = {'info': reg['info'], 'options get': dict(count=len(reg['options']), options=reg['options']),
             'departments get': reg['departments'], 'lines get': reg['lines'], 'taxes': reg['taxes']}
    if words[0] in reads or command in reads:
        print(json.dumps(reads.get(words[0], reads.get(command))))
        return 0
    if words[0] == 'search':
        if not reg['search']:
            print(json.dumps(dict(error=dict(kind='no-answer', message='no register found', field=''))))
            return 4
        print(json.dumps(reg['search']))
        return 0
    if command == 'goods read-all':  # the table is kept as the file last written
        with open(argv[argv.index('--out') + 1], 'w') as f:
            f.write(reg.get('goods', 'CODE;TYPE;NAME;NG;PRICE;SECTION;VESOVOY;SHTRIH;ISBLOCK;COUNT\n'))
        print(json.dumps(dict(records=0)))
        return 0
    if command == 'goods write-all':
        with open(argv[-1]) as f:
            reg['goods'] = f.read()
        save(reg)
        print('wrote the goods')
        return 0
    given = json.load(sys.stdin)
    if command == 'options set':
        report = [item(o['number'], lookup(reg['options'], o['number']), o, 'value') for o in given['options']]
    elif command == 'departments set':
        report = [item(d['number'], lookup(reg['departments'], d['number']), d) for d in given]
    else:
        report = dict((k, item(None, reg['lines'], dict(reg['lines'][k], **v), key=k)) for k, v in given.items())
    changed = any(i['changed'] for i in (report.values() if isinstance(report, dict) else report))
    if not check:
        save(reg)
    out = dict(changed=changed, check=check)
    out.update(report if isinstance(report, dict) else {command.split()[0]: report})
    print(json.dumps(out))
    return 0


def save(reg):
    with open(os.environ['FAKE_VORNIK_STATE'], 'w') as f:
        json.dump(reg, f)


def lookup(items, number):
    return [i for i in items if i['number'] == number][0]


def item(number, held, want, key=None):
    """Compares one item and, in the register's copy, applies it."""
    if key == 'value':
        before, after = held['value'], want['value']
        held['value'] = after
    elif key:
        before, after = dict(held[key]), want
        held[key] = dict(want)
    else:
        before, after = dict(held), want
        held.clear()
        held.update(want)
    out = dict(before=before, after=after, changed=before != after)
    if number is not None:
        out['number'] = number
    return out


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
