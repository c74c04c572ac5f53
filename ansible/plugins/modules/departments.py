#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: departments
short_description: Bring a register's departments to the list given
description:
  - Reads the departments, writes only those that differ from I(config) and reads them back.
  - The whole list is checked before anything is written.
options:
  config:
    description:
      - Desired departments, each in the form C(vornik-cli --json departments get) prints.
    type: list
    elements: dict
    required: true
    suboptions:
      number:
        description: Department number, 1 to the register's count of departments.
        type: int
        required: true
      kind:
        description: What the department sells; a C(closed) department needs nothing more.
        type: str
        choices: [goods, service, closed]
        required: true
      name:
        description: Name, at most 22 characters of code page 1251.
        type: str
        default: ''
      taxGroup:
        description: Tax group C(A) to C(E), or C(-) for none.
        type: str
        default: '-'
      price:
        description:
          - Price in roubles, as text with at most two decimals (C("12.50")) or a number.
          - C(0) means the price is entered at the sale.
        type: raw
        default: '0.00'
  state:
    description:
      - C(merged) changes only the departments listed.
      - C(overridden) also closes every department of the register that is not listed.
    type: str
    choices: [merged, overridden]
    default: merged
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
- name: Bread and delivery, everything else closed
  vornik.kkm.departments:
    device: /dev/ttyUSB0
    state: overridden
    config:
      - {number: 1, kind: goods, name: Хлеб, taxGroup: A, price: "0.00"}
      - {number: 7, kind: service, name: Доставка, taxGroup: B, price: 150}
'''

RETURN = r'''
before:
  description: Every department written or compared, as the register held it, by number.
  returned: success
  type: dict
after:
  description: The same departments after the run (in check mode, what would be written).
  returned: success
  type: dict
departments:
  description: The tool's report, one item per department with C(number), C(before), C(after), C(changed).
  returned: success
  type: list
  elements: dict
'''

from decimal import Decimal, InvalidOperation

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.six import string_types
from ansible_collections.vornik.kkm.plugins.module_utils.vornik_cli import (
    CONNECTION_ARGS, MUTUALLY_EXCLUSIVE, VornikCli, fail_input, finish)

DEPARTMENT_ARGS = dict(
    number=dict(type='int', required=True),
    kind=dict(type='str', required=True, choices=['goods', 'service', 'closed']),
    name=dict(type='str', default=''),
    taxGroup=dict(type='str', default='-'),
    price=dict(type='raw', default='0.00'),
)


def price_text(price):
    """Roubles as text with two decimals, or None when the price is not a
    non-negative amount with at most two decimals."""
    if isinstance(price, bool) or not isinstance(price, (int, float) + string_types):
        return None
    try:
        amount = Decimal(str(price).strip())
    except InvalidOperation:
        return None
    if not amount.is_finite() or amount < 0 or amount != amount.quantize(Decimal('0.01')):
        return None
    return '%.2f' % amount


def department_line(dep, item):
    """A department as 'departments get' prints it in text."""
    return ';'.join(str(dep.get(k, '')) for k in ('number', 'kind', 'name', 'taxGroup', 'price'))


def closed(number):
    return dict(number=number, kind='closed', name='', taxGroup='-', price='0.00')


def wanted_departments(module):
    items = {}
    for i, dep in enumerate(module.params['config']):
        field = 'departments[%d]' % i
        if dep['number'] in items:
            fail_input(module, 'department %d is given twice' % dep['number'], field + '.number')
        if dep['kind'] == 'closed':
            items[dep['number']] = closed(dep['number'])
            continue
        price = price_text(dep['price'])
        if price is None:
            fail_input(module, 'department %d: the price must be roubles with at most two decimals, like 12.50, not %r'
                       % (dep['number'], dep['price']), field + '.price')
        if dep['taxGroup'] not in ('A', 'B', 'C', 'D', 'E', '-'):
            fail_input(module, 'department %d: the tax group must be A..E or -' % dep['number'], field + '.taxGroup')
        items[dep['number']] = dict(number=dep['number'], kind=dep['kind'], name=dep['name'],
                                    taxGroup=dep['taxGroup'], price=price)
    return items


def main():
    module = AnsibleModule(
        argument_spec=dict(CONNECTION_ARGS,
                           config=dict(type='list', elements='dict', required=True, options=DEPARTMENT_ARGS),
                           state=dict(type='str', default='merged', choices=['merged', 'overridden'])),
        mutually_exclusive=MUTUALLY_EXCLUSIVE,
        supports_check_mode=True,
    )
    wanted = wanted_departments(module)
    tool = VornikCli(module)
    if module.params['state'] == 'overridden':
        # The register's own count decides which departments there are to close.
        for dep in tool.read('departments', 'get'):
            wanted.setdefault(dep['number'], closed(dep['number']))
    payload = [wanted[n] for n in sorted(wanted)]
    report = tool.write('departments', payload)
    finish(module, report, 'departments', lambda i: str(i['number']), department_line)


if __name__ == '__main__':
    main()
