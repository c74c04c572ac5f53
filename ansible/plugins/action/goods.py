# -*- coding: utf-8 -*-
# The goods file lies on the controller; the module reads it on the shop
# computer, so it is copied there first, keeping its extension (the tool
# tells dBase from CSV by it).
from __future__ import absolute_import, division, print_function
__metaclass__ = type

import os

from ansible.errors import AnsibleError
from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):
    TRANSFERS_FILES = True

    def run(self, tmp=None, task_vars=None):
        result = super(ActionModule, self).run(tmp, task_vars)
        args = self._task.args.copy()
        src = args.get('src')
        if not src:
            result.update(failed=True, msg='src is required', kind='bad-input', field='src')
            return result
        try:
            local = self._loader.get_real_file(self._find_needle('files', src))
        except AnsibleError as e:
            result.update(failed=True, msg=str(e), kind='file-error', field='src')
            return result
        tmpdir = self._connection._shell.tmpdir
        try:
            remote = self._connection._shell.join_path(tmpdir, 'goods' + os.path.splitext(src)[1].lower())
            self._transfer_file(local, remote)
            self._fixup_perms2((tmpdir, remote))
            args['src'] = remote
            result.update(self._execute_module(module_name='vornik.kkm.goods', module_args=args,
                                               task_vars=task_vars))
        finally:
            self._remove_tmp_path(tmpdir)
        return result
