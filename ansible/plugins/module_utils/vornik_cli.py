# -*- coding: utf-8 -*-
# Runs vornik-cli on the managed node through its JSON interface: every
# module reads and writes a register only through this tool.
from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

# Options every module shares: which register, and which tool.
CONNECTION_ARGS = dict(
    port=dict(type='int'),
    device=dict(type='path'),
    speed=dict(type='int'),
    net=dict(type='int'),
    cli=dict(type='path', default='vornik-cli'),
    chdir=dict(type='path'),
)

MUTUALLY_EXCLUSIVE = [('port', 'device')]

# The error kind when the tool's answer carries none (exit code -> kind).
KIND_BY_EXIT = {1: 'refused', 2: 'bad-input', 3: 'port-missing', 4: 'no-answer', 5: 'stopped'}


class VornikCli(object):
    def __init__(self, module):
        self.module = module
        p = module.params
        path = p['cli']
        # A bare name is looked up on PATH; a path is taken as given.
        self.tool = path if '/' in path else module.get_bin_path(path, required=True)
        self.base = [self.tool, '--json']
        if p.get('port') is not None:
            self.base += ['--port', str(p['port'])]
        if p.get('device'):
            self.base += ['--device', p['device']]
        if p.get('speed') is not None:
            self.base += ['--speed', str(p['speed'])]
        if p.get('net') is not None:
            self.base += ['--net', str(p['net'])]

    def run(self, args, data=None, check=False, ok_codes=(0,), text=False, answers=()):
        """Runs the tool, returns (exit code, parsed JSON); fails the module
        with the tool's error kind when the exit code is not in ok_codes.
        text: a command that may answer in text (goods write-all does);
        answers: error kinds that are an answer, returned as (rc, None)."""
        cmd = list(self.base) + (['--check'] if check else []) + list(args)
        rc, out, err = self.module.run_command(cmd, data=data, cwd=self.module.params.get('chdir'))
        try:
            doc = json.loads(out) if out.strip() else None
        except ValueError:
            doc = None
        if rc in ok_codes and (doc is not None or text) and not _is_error(doc):
            return rc, doc
        error = doc['error'] if _is_error(doc) else {}
        if error.get('kind') in answers:
            return rc, None
        message = error.get('message') or err.strip() or out.strip() or 'vornik-cli exited with %d' % rc
        self.module.fail_json(msg=message, kind=error.get('kind') or KIND_BY_EXIT.get(rc, 'unknown'),
                              field=error.get('field', ''), rc=rc, cmd=cmd, stderr=err)

    def read(self, *args):
        return self.run(args)[1]

    def write(self, group, payload):
        """'GROUP set -' with the payload on standard input; in check mode the
        tool compares and writes nothing."""
        return self.run([group, 'set', '-'], data=json.dumps(payload, ensure_ascii=False),
                        check=self.module.check_mode)[1]


def _is_error(doc):
    return isinstance(doc, dict) and isinstance(doc.get('error'), dict)


def fail_input(module, message, field):
    """A wrong argument, reported before the tool is run at all."""
    module.fail_json(msg=message, kind='bad-input', field=field)


def finish(module, report, key, label, text):
    """Exits with the tool's per-item report: changed, before/after of the
    items given, and a diff of the items that differ, one line per item in
    the text form of the tool (readable where names are Russian)."""
    items = report.get(key, [])
    before = dict((label(i), i['before']) for i in items)
    after = dict((label(i), i['after']) for i in items)
    result = dict(changed=bool(report.get('changed')), before=before, after=after)
    result[key] = items
    if module._diff:
        changed = [i for i in items if i.get('changed')]
        result['diff'] = dict(before=''.join(text(i['before'], i) + '\n' for i in changed),
                              after=''.join(text(i['after'], i) + '\n' for i in changed))
    module.exit_json(**result)
