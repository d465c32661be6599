# The Ansible modules' own logic as tables: each module's documented options
# against its argument spec (ansible-lint cannot see a misspelt option
# offline), the tarnic-cli command line each set of arguments makes, and what
# each exit status means to Ansible. Run with the Python that runs Ansible.
import glob
import importlib
import os
import sys
import unittest

import yaml

sys.dont_write_bytecode = True

COLLECTIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'integrations', 'ansible')
sys.path.insert(0, COLLECTIONS)
PLUGINS = 'ansible_collections.tarnic.access.plugins'
cli = importlib.import_module(PLUGINS + '.module_utils.tarnic_cli')
fragment = yaml.safe_load(importlib.import_module(PLUGINS + '.doc_fragments.cli').ModuleDocFragment.DOCUMENTATION)

# The keys of a documented option and of an argument spec entry that must agree.
KEYS = ('type', 'elements', 'default', 'required', 'choices')


def documented(module):
    doc = yaml.safe_load(module.DOCUMENTATION)
    options = dict(doc.get('options', {}))
    if 'tarnic.access.cli' in doc.get('extends_documentation_fragment', []):
        options.update(fragment['options'])
    return options


def site(**params):
    base = dict(inventory='/srv/site.csv', journal=None, only=None, parallel=None, waves=None,
                max_failures=None, answer_id_size=False, prune=False)
    base.update(params)
    return base


def command(**params):
    base = dict(operation='version', journal=None, tcp=None, serial=None, baud=None, inventory=None, only=None,
                parallel=None, retries=None, answer_id_size=None)
    base.update(params)
    return base


class Documentation(unittest.TestCase):
    def test_options_match_argument_spec(self):
        for name in ('site', 'command'):
            module = importlib.import_module(PLUGINS + '.modules.' + name)
            with self.subTest(module=name):
                options = documented(module)
                self.assertEqual(sorted(options), sorted(module.ARGUMENT_SPEC))
                for option, spec in module.ARGUMENT_SPEC.items():
                    doc = options[option]
                    self.assertTrue(doc.get('description'), option)
                    for key in KEYS:
                        self.assertEqual(doc.get(key, False if key == 'required' else None),
                                         spec.get(key, False if key == 'required' else None), (option, key))
                yaml.safe_load(module.EXAMPLES)
                self.assertTrue(yaml.safe_load(module.RETURN))

    def test_python_is_clean(self):
        try:
            from pyflakes.api import checkPath
            from pyflakes.reporter import Reporter
        except ImportError:
            self.skipTest('pyflakes is not installed (Debian: python3-pyflakes)')
        import io
        out = io.StringIO()
        files = glob.glob(os.path.join(COLLECTIONS, '**', '*.py'), recursive=True)
        files += glob.glob(os.path.join(os.path.dirname(os.path.abspath(__file__)), '*.py'))
        self.assertEqual(sum(checkPath(f, Reporter(out, out)) for f in files), 0, out.getvalue())


class CommandLines(unittest.TestCase):
    def test_site(self):
        rows = [
            # (params, check mode, tarnic-cli's arguments)
            (site(), True, ['--json', 'plan', '/srv/site.csv']),
            (site(), False, ['--json', 'apply', '/srv/site.csv', '--no']),
            (site(journal='/srv/j.db', only=['door-1', 'gate'], parallel=4), True,
             ['--json', '--journal', '/srv/j.db', 'plan', '/srv/site.csv', '--only', 'door-1,gate',
              '--parallel', '4']),
            # An empty list stays an (refused) empty --only: never "every controller".
            (site(only=[]), True, ['--json', 'plan', '/srv/site.csv', '--only', '']),
            # Waves and the threshold only apply; YAML numbers and lists as tarnic-cli spells them.
            (site(waves='1,10%,100%', max_failures='10%'), True, ['--json', 'plan', '/srv/site.csv']),
            (site(waves=[1, '10%', '100%'], max_failures=3, answer_id_size=True), False,
             ['--json', 'apply', '/srv/site.csv', '--waves', '1,10%,100%', '--max-failures', '3', '--yes']),
            (site(prune=True), True, ['--json', 'plan', '/srv/site.csv', '--prune']),
            (site(prune=True), False, ['--json', 'apply', '/srv/site.csv', '--prune', '--no']),
        ]
        for params, check_mode, argv in rows:
            with self.subTest(params=params, check_mode=check_mode):
                self.assertEqual(cli.site_argv(params, check_mode), argv)

    def test_command(self):
        rows = [
            (command(tcp='10.0.4.21'), ['--json', '--tcp', '10.0.4.21', 'version']),
            (command(serial='/dev/ttyUSB0', baud=19200, operation='time set --hours -1'),
             ['--json', '--serial', '/dev/ttyUSB0', '--baud', '19200', 'time', 'set', '--hours', '-1']),
            # A string splits as a shell would; a list is taken word for word.
            (command(tcp='h', operation="access upload '/srv/back up/{name}.txt'"),
             ['--json', '--tcp', 'h', 'access', 'upload', '/srv/back up/{name}.txt']),
            (command(tcp='h', operation=['id', 'add', '1234; rm -rf /']),
             ['--json', '--tcp', 'h', 'id', 'add', '1234; rm -rf /']),
            (command(inventory='/srv/site.csv', journal='/srv/j.db', only=['a'], parallel=2, retries=1,
                     answer_id_size=True, operation='program'),
             ['--json', '--journal', '/srv/j.db', 'fleet', '/srv/site.csv', '--only', 'a', '--parallel', '2',
              '--retries', '1', '--yes', '--', 'program']),
        ]
        for params, argv in rows:
            with self.subTest(params=params):
                self.assertEqual(cli.command_argv(params), argv)


class Outcomes(unittest.TestCase):
    def test_site(self):
        pending = [{'name': 'a', 'actions': [{'kind': 'clock'}]}, {'name': 'b', 'actions': []}]
        in_state = [{'name': 'a', 'actions': []}]
        applied = [{'name': 'a', 'actions': [{'kind': 'clock'}], 'done': ['clock']}]
        broke = [{'name': 'a', 'actions': [{'kind': 'firmware'}], 'done': [], 'failed': ['firmware']}]
        rows = [
            # (verb, exit status, controllers, changed, failed)
            ('plan', 0, in_state, False, False),
            ('plan', 4, pending, True, False),
            ('plan', 1, pending, True, True),
            ('plan', 2, [], False, True),
            ('plan', 130, pending, True, True),
            ('apply', 0, in_state, False, False),
            ('apply', 0, applied, True, False),
            ('apply', 1, applied, True, True),
            ('apply', 1, broke, False, True),
            ('apply', 130, applied, True, True),
        ]
        for verb, rc, controllers, changed, failed in rows:
            with self.subTest(verb=verb, rc=rc, controllers=controllers):
                self.assertEqual(cli.site_outcome(verb, rc, controllers), (changed, failed))

    def test_command(self):
        rows = [
            # (operation, exit status, each controller's, changed, failed)
            ('version', 0, [0], False, False),
            ('time get', 1, [1], False, True),
            ('time set', 0, [0], True, False),
            (['access', 'upload', 'f.txt'], 0, [0, 0], True, False),
            ('time set', 3, [3], False, True),
            ('program', 2, [], False, True),
            ('program', 1, [0, 3], True, True),
        ]
        for operation, rc, exits, changed, failed in rows:
            with self.subTest(operation=operation, rc=rc, exits=exits):
                self.assertEqual(cli.command_outcome(operation, rc, exits), (changed, failed))

    def test_failure_message(self):
        unreachable = {'name': 'gate', 'error': 'cannot connect', 'message': 'cannot connect'}
        rows = [
            # (verb, exit status, stderr, controllers, summary, message)
            ('apply', 2, 'cannot read the inventory x.csv\nusage: tarnic-cli ...\n', [], {},
             'tarnic-cli apply exited 2: cannot read the inventory x.csv'),
            ('plan', 1, '', [{'name': 'a', 'actions': []}, unreachable], {},
             'tarnic-cli plan exited 1: gate: cannot connect'),
            ('apply', 1, '', [{'name': 'a', 'message': 'not started'}], {'stopped': '1 failed: no more starts'},
             'tarnic-cli apply exited 1: a: not started; 1 failed: no more starts'),
            ('apply', 130, '', [], {}, 'tarnic-cli apply exited 130'),
        ]
        for verb, rc, err, controllers, summary, message in rows:
            with self.subTest(verb=verb, rc=rc):
                self.assertEqual(cli.site_failure(verb, rc, err, controllers, summary), message)

    def test_diff(self):
        read = {'firmware': 'V 02.14', 'clock_offset_s': 311}
        desired = {'firmware': 'V 3.0', 'settings_sha256': 'd3fd', 'clock_tolerance_s': 5}
        actions = [{'kind': 'firmware', 'reason': 'answers "V 02.14"'}]
        rows = [
            ([{'name': 'a', 'actions': [], 'read': read, 'desired': desired}], []),
            ([{'name': 'a', 'endpoint': 'tcp:h:57', 'actions': actions, 'read': read, 'desired': desired,
               'journal_record': None}],
             [{'before_header': 'a (tcp:h:57): read', 'after_header': 'a (tcp:h:57): desired',
               'before': 'clock_offset_s: 311\nfirmware: V 02.14\nsettings_sha256: (none in the journal)\n',
               'after': 'clock_tolerance_s: 5\nfirmware: V 3.0\nsettings_sha256: d3fd\n'
                        'pending firmware: answers "V 02.14"\n'}]),
            # A list read is its counts and keyed hash, one line; the profile's hash from the journal.
            ([{'name': 'b', 'endpoint': 'serial:/dev/ttyUSB0', 'actions': actions,
               'read': {'access': {'records': 2, 'hmac_sha256': 'e1'}}, 'desired': {'access': '/l.txt'},
               'notes': ['1 sorted ID cannot remove (sorted list)'], 'journal_record': {'settings_sha256': 'x'}}],
             [{'before_header': 'b (serial:/dev/ttyUSB0): read', 'after_header': 'b (serial:/dev/ttyUSB0): desired',
               'before': 'access: {"hmac_sha256": "e1", "records": 2}\n',
               'after': 'access: /l.txt\npending firmware: answers "V 02.14"\n'
                        'note: 1 sorted ID cannot remove (sorted list)\n'}]),
        ]
        for controllers, diff in rows:
            with self.subTest(controllers=controllers):
                self.assertEqual(cli.site_diff(controllers), diff)


if __name__ == '__main__':
    unittest.main()
