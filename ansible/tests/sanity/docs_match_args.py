# -*- coding: utf-8 -*-
# Every module's documented options (with their fragments, as ansible-doc
# shows them) match the arguments it declares: names, types, required, defaults,
# choices, elements and sub-options. Run with the collections path on which
# vornik.kkm is installed: python3 docs_match_args.py PATH
from __future__ import absolute_import, division, print_function
__metaclass__ = type

import importlib
import json
import os
import subprocess
import sys
from unittest import mock

from ansible.module_utils import basic

KEYS = (('type', 'str'), ('required', False), ('default', None), ('choices', None), ('elements', None))


class Captured(Exception):
    pass


def declared_arguments(name):
    module = importlib.import_module('ansible_collections.vornik.kkm.plugins.modules.' + name)
    seen = {}

    def capture(self, argument_spec, **kwargs):
        seen.update(argument_spec)
        raise Captured()

    with mock.patch.object(basic.AnsibleModule, '__init__', capture):
        try:
            module.main()
        except Captured:
            pass
    return seen


def compare(where, doc, declared, problems):
    for name in sorted(set(doc) | set(declared)):
        if name not in doc or name not in declared:
            problems.append('%s%s: %s' % (where, name, 'not documented' if name in declared else 'documented, not declared'))
            continue
        for key, default in KEYS:
            if doc[name].get(key, default) != declared[name].get(key, default):
                problems.append('%s%s: %s %r documented, %r declared' % (
                    where, name, key, doc[name].get(key, default), declared[name].get(key, default)))
        compare(where + name + '.', doc[name].get('suboptions') or {}, declared[name].get('options') or {}, problems)


def main(path):
    sys.path.insert(0, path)
    folder = os.path.join(path, 'ansible_collections', 'vornik', 'kkm', 'plugins', 'modules')
    names = sorted(f[:-3] for f in os.listdir(folder) if f.endswith('.py') and not f.startswith('_'))
    out = subprocess.check_output(['ansible-doc', '--json', '-t', 'module'] + ['vornik.kkm.' + n for n in names],
                                  env=dict(os.environ, ANSIBLE_COLLECTIONS_PATH=path))
    docs = json.loads(out)
    problems = []
    for name in names:
        doc = docs['vornik.kkm.' + name]
        for block in ('examples', 'return'):
            if not doc.get(block):
                problems.append('%s: no %s' % (name, block.upper()))
        compare(name + ': ', doc['doc'].get('options') or {}, declared_arguments(name), problems)
    print('\n'.join(problems) or 'documentation matches the declared arguments of %d modules' % len(names))
    return 1 if problems or not names else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
