#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: options
short_description: Bring a register's option bytes to the values given
description:
  - Reads the options named in I(values), writes only those that differ and reads them back.
  - Options not named stay as they are.
options:
  values:
    description:
      - Desired option values, a mapping from option number to value.
      - Ranges come from the register's model file; a value outside them fails before anything is written.
    type: dict
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
- name: Detailed sales journal at shift close, department 1 by default
  vornik.kkm.options:
    device: /dev/ttyUSB0
    values:
      1: 2
      2: 1
'''

RETURN = r'''
before:
  description: Value of every option given, as the register held it, by option number.
  returned: success
  type: dict
  sample: {"1": 2, "2": 1}
after:
  description: Value of every option given after the run (in check mode, what would be written).
  returned: success
  type: dict
  sample: {"1": 3, "2": 1}
options:
  description: The tool's report, one item per option given with C(number), C(before), C(after), C(changed).
  returned: success
  type: list
  elements: dict
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vornik.kkm.plugins.module_utils.vornik_cli import (
    CONNECTION_ARGS, MUTUALLY_EXCLUSIVE, VornikCli, fail_input, finish)


def wanted_options(module):
    """The mapping as [{number, value}], numbers ascending; fails on a key or
    value that is not a whole number."""
    items = []
    for key, value in module.params['values'].items():
        field = 'values[%s]' % key
        try:
            number = int(str(key))
        except ValueError:
            fail_input(module, 'option %s: the option number must be a whole number' % key, field)
        if isinstance(value, bool) or not isinstance(value, int) and not str(value).strip().isdigit():
            fail_input(module, 'option %s: the value must be a whole number, not %r' % (key, value), field)
        items.append(dict(number=number, value=int(value)))
    if not items:
        fail_input(module, 'values: no options given', 'values')
    return sorted(items, key=lambda i: i['number'])


def main():
    module = AnsibleModule(
        argument_spec=dict(CONNECTION_ARGS, values=dict(type='dict', required=True)),
        mutually_exclusive=MUTUALLY_EXCLUSIVE,
        supports_check_mode=True,
    )
    payload = dict(options=wanted_options(module))
    report = VornikCli(module).write('options', payload)
    finish(module, report, 'options', lambda i: str(i['number']), lambda value, i: '%d=%s' % (i['number'], value))


if __name__ == '__main__':
    main()
