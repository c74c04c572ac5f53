#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: lines
short_description: Bring a register's receipt header and footer lines to the text given
description:
  - Reads the header and footer, writes a group only when it differs and reads it back.
  - A group not given stays as it is; within a group, a font or lines not given keep what the register holds.
options:
  header:
    description: The receipt header.
    type: dict
    suboptions:
      font:
        description: Print font number, as the register's model numbers its fonts.
        type: int
      lines:
        description: Up to 6 lines of at most 32 characters of code page 1251; missing lines are empty.
        type: list
        elements: str
  footer:
    description: The receipt footer, as I(header).
    type: dict
    suboptions:
      font:
        description: Print font number.
        type: int
      lines:
        description: Up to 6 lines of at most 32 characters; missing lines are empty.
        type: list
        elements: str
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
- name: The chain's header, the footer as it is
  vornik.kkm.lines:
    device: /dev/ttyUSB0
    header:
      font: 3
      lines: ['   ООО "Ромашка"', ' г. Вологда', '', '', '    Добро пожаловать!', '']
'''

RETURN = r'''
before:
  description: Each group given (C(header), C(footer)) as the register held it, with C(font) and C(lines).
  returned: success
  type: dict
after:
  description: The same groups after the run (in check mode, what would be written).
  returned: success
  type: dict
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vornik.kkm.plugins.module_utils.vornik_cli import (
    CONNECTION_ARGS, MUTUALLY_EXCLUSIVE, VornikCli, fail_input)

GROUP_ARGS = dict(font=dict(type='int'), lines=dict(type='list', elements='str'))
GROUPS = ('header', 'footer')


def group_text(key, group):
    """A group as 'lines get' prints it in text: font, then lines 1..6."""
    lines = ['%s.font=%s' % (key, group.get('font'))]
    lines += ['%s.%d=%s' % (key, n, text) for n, text in enumerate(group.get('lines', []), 1)]
    return ''.join(line + '\n' for line in lines)


def wanted_lines(module):
    payload = {}
    for key in GROUPS:
        group = module.params[key]
        if group is None:
            continue
        want = {}
        if group['font'] is not None:
            want['font'] = group['font']
        if group['lines'] is not None:
            if len(group['lines']) > 6:
                fail_input(module, '%s: at most 6 lines' % key, key + '.lines')
            want['lines'] = list(group['lines']) + [''] * (6 - len(group['lines']))
        if want:
            payload[key] = want
    if not payload:
        fail_input(module, 'neither header nor footer given', 'header')
    return payload


def main():
    module = AnsibleModule(
        argument_spec=dict(CONNECTION_ARGS,
                           header=dict(type='dict', options=GROUP_ARGS),
                           footer=dict(type='dict', options=GROUP_ARGS)),
        mutually_exclusive=MUTUALLY_EXCLUSIVE,
        supports_check_mode=True,
    )
    report = VornikCli(module).write('lines', wanted_lines(module))
    groups = [k for k in GROUPS if k in report]
    before = dict((k, report[k]['before']) for k in groups)
    after = dict((k, report[k]['after']) for k in groups)
    result = dict(changed=bool(report.get('changed')), before=before, after=after)
    if module._diff:
        changed = [k for k in groups if report[k].get('changed')]
        result['diff'] = dict(before=''.join(group_text(k, before[k]) for k in changed),
                              after=''.join(group_text(k, after[k]) for k in changed))
    module.exit_json(**result)


if __name__ == '__main__':
    main()
