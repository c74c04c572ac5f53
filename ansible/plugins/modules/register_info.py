#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: register_info
short_description: Read a register's identity, clock and settings
description:
  - Reads what I(gather) names from one register; changes nothing.
options:
  gather:
    description: What to read.
    type: list
    elements: str
    choices: [identity, clock, options, departments, lines, taxes]
    default: [identity, clock, options, departments, lines, taxes]
extends_documentation_fragment:
  - vornik.kkm.connection
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
author:
  - Vornik configurator developers
'''

EXAMPLES = r'''
- name: Which register is this, and what are its departments?
  vornik.kkm.register_info:
    device: /dev/ttyUSB0
    gather: [identity, departments]
  register: kkm
'''

RETURN = r'''
register:
  description: What was gathered, each part as C(vornik-cli --json) prints it.
  returned: success
  type: dict
  contains:
    identity:
      description: C(model), C(serialNumber), C(version), C(mode), C(modeText).
      type: dict
      returned: when gathered
    clock:
      description: The register's C(date) and C(time) as it prints them.
      type: dict
      returned: when gathered
    options:
      description: Every option with C(number), C(value), C(min), C(max), C(default), C(caption).
      type: list
      returned: when gathered
    departments:
      description: Every department with C(number), C(kind), C(name), C(taxGroup), C(price).
      type: list
      returned: when gathered
    lines:
      description: C(header) and C(footer), each with C(font), C(fontName) and C(lines).
      type: dict
      returned: when gathered
    taxes:
      description: The five taxes.
      type: list
      returned: when gathered
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vornik.kkm.plugins.module_utils.vornik_cli import (
    CONNECTION_ARGS, MUTUALLY_EXCLUSIVE, VornikCli)

PARTS = ['identity', 'clock', 'options', 'departments', 'lines', 'taxes']
CLOCK = ('date', 'time')


def main():
    module = AnsibleModule(
        argument_spec=dict(CONNECTION_ARGS, gather=dict(type='list', elements='str', choices=PARTS, default=PARTS)),
        mutually_exclusive=MUTUALLY_EXCLUSIVE,
        supports_check_mode=True,
    )
    tool = VornikCli(module)
    gather = module.params['gather']
    found = {}
    if 'identity' in gather or 'clock' in gather:
        info = tool.read('info')  # one command answers both
        if 'identity' in gather:
            found['identity'] = dict((k, v) for k, v in info.items() if k not in CLOCK)
        if 'clock' in gather:
            found['clock'] = dict((k, info.get(k)) for k in CLOCK)
    if 'options' in gather:
        found['options'] = tool.read('options', 'get')['options']
    if 'departments' in gather:
        found['departments'] = tool.read('departments', 'get')
    if 'lines' in gather:
        found['lines'] = tool.read('lines', 'get')
    if 'taxes' in gather:
        found['taxes'] = tool.read('taxes')
    module.exit_json(changed=False, register=found)


if __name__ == '__main__':
    main()
