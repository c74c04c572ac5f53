# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function
__metaclass__ = type

from .conftest import REGISTER
from ansible_collections.vornik.kkm.plugins.modules import (
    departments, goods, lines, options, register_info, search)


def test_departments_write_only_what_differs_and_report_it(rig):
    want = [dict(number=1, kind='goods', name='Bread', taxGroup='A', price=0),
            dict(number=3, kind='goods', name='Milk', taxGroup='A', price='4.5')]
    first = rig.run(departments, dict(config=want), diff=True)
    assert first['changed'] is True
    assert first['before']['3']['price'] == '3.50' and first['after']['3']['price'] == '4.50'
    assert first['diff'] == dict(before='3;goods;Milk;A;3.50\n', after='3;goods;Milk;A;4.50\n')  # 1 is as wanted
    sent = rig.calls()[-1]
    assert sent[-3:] == ['departments', 'set', '-'] and '--check' not in sent
    assert rig.register()['departments'][2]['price'] == '4.50'
    second = rig.run(departments, dict(config=want), diff=True)
    assert second['changed'] is False and second['diff'] == dict(before='', after='')


def test_departments_check_mode_and_overridden(rig):
    want = [dict(number=2, kind='service', name='Delivery', taxGroup='B', price='150.00')]
    result = rig.run(departments, dict(config=want, state='overridden'), check=True)
    assert result['changed'] is True
    assert sorted(result['after']) == ['1', '2', '3']
    assert result['after']['1']['kind'] == 'closed' and result['after']['3']['kind'] == 'closed'
    assert '--check' in rig.calls()[-1]
    assert rig.register() == REGISTER


def test_bad_input_fails_before_the_tool_runs(rig):
    for bad in ('12.345', '-1', 'ten', True):
        result = rig.run(departments, dict(config=[dict(number=1, kind='goods', name='X', price='1.00'),
                                                   dict(number=2, kind='goods', name='Y', price=bad)]))
        assert result['failed'] and result['kind'] == 'bad-input' and result['field'] == 'departments[1].price'
    result = rig.run(options, dict(values={'1': 'x'}))
    assert result['failed'] and result['kind'] == 'bad-input'
    assert rig.calls() == []


def test_options_by_number_and_in_check_mode(rig):
    result = rig.run(options, dict(values={'2': 5, 1: '2'}), check=True, diff=True)
    assert result['changed'] is True and result['diff'] == dict(before='2=1\n', after='2=5\n')
    assert rig.register()['options'][1]['value'] == 1
    assert rig.run(options, dict(values={'2': 5}))['changed'] is True
    assert rig.register()['options'][1]['value'] == 5


def test_lines_send_only_the_groups_given_padded_to_six(rig):
    result = rig.run(lines, dict(footer=dict(lines=['Thanks', 'Come again'])))
    assert result['changed'] is True and list(result['after']) == ['footer']
    assert rig.register()['lines']['footer'] == dict(font=1, lines=['Thanks', 'Come again', '', '', '', ''])
    assert rig.register()['lines']['header']['lines'][0] == 'Shop'
    assert rig.run(lines, dict(footer=dict(lines=['Thanks', 'Come again'])))['changed'] is False


def test_tool_errors_carry_their_kind(rig):
    reg = rig.register()
    reg['error'] = dict(kind='port-busy', message='port busy', field='', rc=3)
    rig.save(reg)
    result = rig.run(register_info, dict(gather=['identity']))
    assert result['failed'] and result['kind'] == 'port-busy' and result['msg'] == 'port busy' and result['rc'] == 3
    reg['error'] = dict(message='no answer', rc=4)  # no JSON: the kind follows from the exit code
    rig.save(reg)
    result = rig.run(options, dict(values={1: 1}))
    assert result['failed'] and result['kind'] == 'no-answer' and result['msg'] == 'no answer'


def test_info_gathers_only_what_is_asked_and_search_finding_none_is_fine(rig):
    result = rig.run(register_info, dict(gather=['clock', 'departments']))
    assert sorted(result['register']) == ['clock', 'departments']
    assert result['register']['clock'] == dict(date='10.12.26', time='03:34:21')
    assert len(rig.calls()) == 2
    result = rig.run(search, dict(all_nets=True))
    assert result['changed'] is False and result['registers'] == []
    assert '--all-nets' in rig.calls()[-1]


def test_goods_compared_before_written_and_not_in_check_mode(rig, tmp_path):
    src = tmp_path / 'prices.csv'
    src.write_text('CODE,TYPE,NAME,NG,PRICE,SECTION,VESOVOY,SHTRIH,ISBLOCK,COUNT\n'
                   '1,170,Bread,1,"45,9",1,1,4607001234560,0,38\n2,0,,0,0,0,0,,0,0\n')
    result = rig.run(goods, dict(src=str(src)), check=True, diff=True)
    assert result['changed'] is True and result['codes'] == [1] and 'diff' in result
    assert 'goods' not in rig.register()
    assert rig.run(goods, dict(src=str(src)))['changed'] is True
    assert rig.register()['goods'].startswith('CODE,TYPE')
    src.write_text(src.read_text().replace('"45,9"', '45.90').replace(',38', ',7'))  # same price, other sold count
    assert rig.run(goods, dict(src=str(src)))['changed'] is False
    writes = [c for c in rig.calls() if 'write-all' in c]
    assert len(writes) == 1
    result = rig.run(goods, dict(src=str(tmp_path / 'prices.txt')))
    assert result['failed'] and result['kind'] == 'bad-input'
