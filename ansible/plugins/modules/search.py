#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: search
short_description: Find the registers on the managed node's serial ports
description:
  - Asks every serial port (or those listed) at each speed for a register and returns those that answer.
  - Finding none is not a failure.
options:
  ports:
    description: Port numbers to look at; every port when not given.
    type: list
    elements: int
  all_nets:
    description: Look for every network number, not only I(net).
    type: bool
    default: false
  speed:
    description: Speed tried first.
    type: int
  net:
    description: Network number looked for.
    type: int
  cli:
    description: The C(vornik-cli) program on the managed node; a bare name is looked up on C(PATH).
    type: path
    default: vornik-cli
  chdir:
    description: Working directory of the tool, whose C(ports/COM<n>) links give port numbers their devices.
    type: path
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
author:
  - Vornik configurator developers
'''

EXAMPLES = r'''
- name: Which registers hang off this shop computer?
  vornik.kkm.search:
    all_nets: true
  register: found
'''

RETURN = r'''
registers:
  description: One item per register found.
  returned: success
  type: list
  elements: dict
  contains:
    port: {description: Port number., type: int, returned: always}
    device: {description: Serial device path., type: str, returned: always}
    speed: {description: Speed it answered at., type: int, returned: always}
    net: {description: Its network number., type: int, returned: always}
    model: {description: Model name., type: str, returned: always}
    serialNumber: {description: Serial number., type: str, returned: always}
    version: {description: Firmware version., type: str, returned: always}
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vornik.kkm.plugins.module_utils.vornik_cli import VornikCli


def main():
    module = AnsibleModule(
        argument_spec=dict(ports=dict(type='list', elements='int'), all_nets=dict(type='bool', default=False),
                           speed=dict(type='int'), net=dict(type='int'),
                           cli=dict(type='path', default='vornik-cli'), chdir=dict(type='path')),
        supports_check_mode=True,
    )
    args = ['search']
    if module.params['ports']:
        args += ['--ports', ','.join(str(p) for p in module.params['ports'])]
    if module.params['all_nets']:
        args.append('--all-nets')
    # No register found is an answer: the tool says "no-answer" (older builds
    # printed an empty list with exit code 1).
    rc, found = VornikCli(module).run(args, ok_codes=(0, 1), answers=('no-answer',))
    found = [] if found is None else found
    if not isinstance(found, list):
        module.fail_json(msg='vornik-cli search printed no list of registers', kind='unknown', field='', rc=rc)
    module.exit_json(changed=False, registers=found)


if __name__ == '__main__':
    main()
