# -*- coding: utf-8 -*-
# The options every module of the collection shares.
from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
options:
  port:
    description:
      - Port number of the register's serial line, as C(vornik-cli --port) takes it.
      - Mutually exclusive with I(device).
    type: int
  device:
    description:
      - Path of the register's serial device, such as C(/dev/ttyUSB0).
      - Mutually exclusive with I(port).
    type: path
  speed:
    description: Line speed in baud; the tool's default when not given.
    type: int
  net:
    description: Network number of the register, 1 to 98; the tool's default when not given.
    type: int
  cli:
    description:
      - The C(vornik-cli) program on the managed node; a bare name is looked up on C(PATH).
    type: path
    default: vornik-cli
  chdir:
    description:
      - Working directory of the tool, whose C(ports/COM<n>) links give port numbers their devices; the tool's log
        goes there when the tool's own folder is not writable.
    type: path
notes:
  - Runs C(vornik-cli) on the managed node, which must be installed there and see the register's port.
  - On failure the result carries C(kind), the tool's error kind (C(bad-input), C(file-error), C(port-missing),
    C(port-busy), C(not-serial), C(no-answer), C(refused), C(not-kept), C(stopped)), and C(field), the input
    field at fault when there is one.
'''
