# -*- coding: utf-8 -*-
# Runs a module's main() in-process against the fake tool and returns its
# result, the fake register and the command lines the tool saw.
from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os
import stat
import sys

import pytest
from ansible.module_utils import basic
from ansible.module_utils.common.text.converters import to_bytes

HERE = os.path.dirname(os.path.abspath(__file__))

REGISTER = dict(
    info=dict(model='ZV-101', serialNumber='001234567890', version='ver012', mode=1, modeText='ON-LINE',
              date='10.12.26', time='03:34:21'),
    options=[dict(number=1, value=2, min=0, max=3), dict(number=2, value=1, min=0, max=8)],
    departments=[dict(number=1, kind='goods', name='Bread', taxGroup='A', price='0.00'),
                 dict(number=2, kind='service', name='Delivery', taxGroup='B', price='150.00'),
                 dict(number=3, kind='goods', name='Milk', taxGroup='A', price='3.50')],
    lines=dict(header=dict(font=3, lines=['Shop', '', '', '', '', '']),
               footer=dict(font=1, lines=['Thanks', '', '', '', '', ''])),
    taxes=[dict(number=1, group='A', defined=True, percent=18)],
    search=[],
)


class Rig(object):
    def __init__(self, tmp_path):
        self.state = str(tmp_path / 'register.json')
        self.log = str(tmp_path / 'calls.log')
        self.tool = str(tmp_path / 'vornik-cli')
        with open(self.tool, 'w') as f:
            f.write('#!/bin/sh\nexec "%s" "%s" "$@"\n' % (sys.executable, os.path.join(HERE, 'fake_vornik_cli.py')))
        os.chmod(self.tool, stat.S_IRWXU)
        self.save(json.loads(json.dumps(REGISTER)))
        open(self.log, 'w').close()

    def register(self):
        with open(self.state) as f:
            return json.load(f)

    def save(self, reg):
        with open(self.state, 'w') as f:
            json.dump(reg, f)

    def calls(self):
        with open(self.log) as f:
            return [json.loads(line) for line in f]

    def run(self, module, args, check=False, diff=False):
        """The module's result; 'failed' is set when it failed."""
        args = dict(args, cli=self.tool, _ansible_check_mode=check, _ansible_diff=diff)
        if module.__name__.split('.')[-1] != 'search':
            args['device'] = '/dev/fake'
        basic._ANSIBLE_ARGS = to_bytes(json.dumps(dict(ANSIBLE_MODULE_ARGS=args)))
        os.environ['FAKE_VORNIK_STATE'] = self.state
        os.environ['FAKE_VORNIK_LOG'] = self.log
        with pytest.raises(SystemExit):
            module.main()
        out = self.capsys.readouterr().out
        return json.loads(out)


@pytest.fixture
def rig(tmp_path, capsys):
    r = Rig(tmp_path)
    r.capsys = capsys
    return r
