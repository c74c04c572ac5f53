#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: goods
short_description: Bring a register's goods table to a goods exchange file
description:
  - Copies I(src) from the controller to the managed node, reads the register's goods table and writes the file
    only when a row of it differs from the register's record (the sold quantity C(COUNT) is not compared).
  - The register takes goods only while it is off-line.
  - A name holding characters the register cannot keep is stored without them, so such a row differs, and is
    written, on every run.
options:
  src:
    description:
      - The goods exchange file on the controller, dBase (C(.dbf)) or CSV (C(.csv)), as C(vornik-cli goods write-all)
        reads it; a relative path is looked up in the role's or playbook's C(files).
    type: path
    required: true
extends_documentation_fragment:
  - vornik.kkm.connection
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
author:
  - Vornik configurator developers
'''

EXAMPLES = r'''
- name: The chain's price list into every register
  vornik.kkm.goods:
    device: /dev/ttyUSB0
    src: prices.dbf
'''

RETURN = r'''
records:
  description: Rows in the file.
  returned: success
  type: int
differing:
  description: Rows whose record on the register differed (and were written, unless in check mode).
  returned: success
  type: int
codes:
  description: The goods codes of those rows.
  returned: success
  type: list
  elements: int
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vornik.kkm.plugins.module_utils.goods_table import differing, read_table
from ansible_collections.vornik.kkm.plugins.module_utils.vornik_cli import (
    CONNECTION_ARGS, MUTUALLY_EXCLUSIVE, VornikCli, fail_input)


def row_text(code, record):
    """One goods row for the diff: code, name, price and the other fields."""
    if record is None or record['TYPE'] == 0:
        return '%d: -\n' % code
    return '%d: %s %s (%s)\n' % (code, record['NAME'], record['PRICE'], ', '.join(
        '%s=%s' % (f, record[f]) for f in ('TYPE', 'NG', 'SECTION', 'VESOVOY', 'SHTRIH', 'ISBLOCK')))


def main():
    module = AnsibleModule(
        argument_spec=dict(CONNECTION_ARGS, src=dict(type='path', required=True)),
        mutually_exclusive=MUTUALLY_EXCLUSIVE,
        supports_check_mode=True,
    )
    src = module.params['src']
    if os.path.splitext(src)[1].lower() not in ('.dbf', '.csv'):
        fail_input(module, '%s: a goods file is .dbf or .csv' % src, 'src')
    try:
        wanted = read_table(src)
    except (IOError, ValueError) as e:
        fail_input(module, '%s: %s' % (src, e), 'src')
    # The tool writes a whole table without comparing it first, so the
    # register's table is read and compared here.
    tool = VornikCli(module)
    held_path = os.path.join(module.tmpdir, 'register.csv')
    tool.run(['goods', 'read-all', '--out', held_path])
    held = read_table(held_path)
    codes = differing(wanted, held)
    if codes and not module.check_mode:
        tool.run(['goods', 'write-all', src], text=True)
    result = dict(changed=bool(codes), records=len(wanted), differing=len(codes), codes=codes)
    if module._diff and codes:
        result['diff'] = dict(before=''.join(row_text(c, held.get(c)) for c in codes),
                              after=''.join(row_text(c, wanted[c]) for c in codes))
    module.exit_json(**result)


if __name__ == '__main__':
    main()
