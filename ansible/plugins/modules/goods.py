#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: goods
short_description: Bring a register's goods table to a goods exchange file
description:
  - Copies I(src) from the controller to the managed node, checks every row, reads the register's goods table
    and writes the table only when it differs from the file.
  - The register takes goods only while it is off-line.
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
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vornik.kkm.plugins.module_utils.vornik_cli import (
    CONNECTION_ARGS, MUTUALLY_EXCLUSIVE, VornikCli, fail_input)


def main():
    module = AnsibleModule(
        argument_spec=dict(CONNECTION_ARGS, src=dict(type='path', required=True)),
        mutually_exclusive=MUTUALLY_EXCLUSIVE,
        supports_check_mode=True,
    )
    src = module.params['src']
    if os.path.splitext(src)[1].lower() not in ('.dbf', '.csv'):
        fail_input(module, '%s: a goods file is .dbf or .csv' % src, 'src')
    report = VornikCli(module).run(['goods', 'write-all', src], check=module.check_mode)[1]
    result = dict(report, changed=bool(report.get('changed')))
    if module._diff and result['changed']:
        result['diff'] = dict(before='%d goods rows differ\n' % report.get('differing', 0),
                              after='%d goods rows as in the file\n' % report.get('records', 0))
    module.exit_json(**result)


if __name__ == '__main__':
    main()
