# The collection as an integrator meets it: built into its tarball, installed
# into a collections path of its own, its modules documented by ansible-doc,
# and the README's example playbook linted and run by ansible-playbook against
# two sites on this machine (each a tarnic-sim with its own inventory and
# journal) and a third whose PC cannot be reached. Nothing is read from or
# written to ~/.ansible. Needs TARNIC_SIM and TARNIC_CLI (CTest sets them).
import ctypes
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..'))
README = os.path.join(ROOT, 'integrations', 'ansible', 'ansible_collections', 'tarnic', 'access', 'README.md')
SITES = ('north', 'south')
# Controller 1 in state but never programmed from the journal; controller 2
# also with its clock 400 s ahead.
STATE = '{"controllers": {"1": {"clock_offset": 0}, "2": {"clock_offset": 400}}}'
VERSION = '5200 Series Controller V 02.14'  # the simulator's own
RECAP = re.compile(r'^(\S+)\s*:\s*ok=(\d+)\s+changed=(\d+)\s+unreachable=(\d+)\s+failed=(\d+)', re.M)


def end_with_parent():
    # A simulator must not outlive the test, even one killed at its time-out.
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def closed_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


class Sites(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sims = []
        cls.tmp = tempfile.mkdtemp(prefix='tarnic-ansible-')
        cls.addClassCleanup(shutil.rmtree, cls.tmp)
        cls.addClassCleanup(cls.stop_simulators)
        home = cls.path('home')
        cls.env = dict(os.environ, HOME=home, ANSIBLE_HOME=home + '/.ansible',
                       ANSIBLE_LOCAL_TEMP=home + '/.ansible/tmp', ANSIBLE_COLLECTIONS_PATH=cls.path('collections'),
                       ANSIBLE_CONFIG=cls.path('ansible.cfg'), ANSIBLE_HOST_KEY_CHECKING='False',
                       ANSIBLE_NOCOLOR='1', ANSIBLE_RETRY_FILES_ENABLED='False', XDG_DATA_HOME=home,
                       # Each host's last task result as JSON, in a file of its own.
                       ANSIBLE_CALLBACKS_ENABLED='tree', ANSIBLE_CALLBACK_TREE_DIR=cls.path('tree'),
                       PATH=os.path.dirname(os.environ['TARNIC_CLI']) + os.pathsep + os.environ['PATH'])
        os.makedirs(home)
        cls.write('ansible.cfg', '')
        tarball = cls.run_tool([os.path.join(ROOT, 'scripts', 'build-ansible-collection.sh'), cls.path('dist')])
        cls.run_tool(['ansible-galaxy', 'collection', 'install', '-p', cls.path('collections'), tarball.strip()])
        with open(README, encoding='utf-8') as f:
            cls.write('sites.yml', re.search(r'```yaml\n(.*?)```', f.read(), re.S).group(1))
        hosts = ['[sites]']
        for site in SITES:
            ports = cls.start_site(site)
            cls.write(site + '/site.csv', 'name,link,desired_profile,clock\n' + ''.join(
                '%s-%d,tcp:127.0.0.1:%s,site.tfp,5\n' % (site, i + 1, port) for i, port in enumerate(ports)))
            hosts.append('%s ansible_connection=local ansible_python_interpreter=%s site_inventory=%s '
                         'site_journal=%s' % (site, sys.executable, cls.path(site + '/site.csv'),
                                              cls.path(site + '/journal.db')))
        hosts.append('offline ansible_host=127.0.0.1 ansible_port=%d ansible_user=tarnic site_inventory=/srv/site.csv '
                     'site_journal=/srv/journal.db' % closed_port())
        cls.write('hosts', '\n'.join(hosts) + '\n')

    @classmethod
    def path(cls, name):
        return os.path.join(cls.tmp, name)

    @classmethod
    def write(cls, name, text):
        os.makedirs(os.path.dirname(cls.path(name)), exist_ok=True)
        with open(cls.path(name), 'w', encoding='utf-8') as f:
            f.write(text)

    @classmethod
    def run_tool(cls, argv):
        done = subprocess.run(argv, env=cls.env, cwd=cls.tmp, capture_output=True, text=True, timeout=60)
        if done.returncode != 0:
            raise AssertionError('%s failed (%d):\n%s%s' % (argv[0], done.returncode, done.stdout, done.stderr))
        return done.stdout

    @classmethod
    def start_site(cls, site):
        cls.write(site + '/state.json', STATE)
        cls.write(site + '/site.tfp', '# tarnic-profile 1\ngeneral.beep = off\n')
        sim = subprocess.Popen([os.environ['TARNIC_SIM'], '--tcp', '0', '--controllers', '2', '--state',
                                cls.path(site + '/state.json'), '--state-out', cls.path(site + '/held.json')],
                               stdout=subprocess.PIPE, text=True, preexec_fn=end_with_parent)
        cls.sims.append(sim)
        return [sim.stdout.readline().split(':')[-1].strip() for _ in range(2)]

    @classmethod
    def stop_simulators(cls):
        for sim in cls.sims:
            sim.terminate()
            sim.wait(10)

    def held(self):
        """What each site's simulator holds, from its --state-out."""
        result = []
        for site in SITES:
            with open(self.path(site + '/held.json'), encoding='utf-8') as f:
                result.append(f.read())
        return result

    def playbook(self, *args):
        """Each host's recap: (ok, changed, unreachable, failed)."""
        done = subprocess.run(['ansible-playbook', '-i', 'hosts', 'sites.yml'] + list(args), env=self.env,
                              cwd=self.tmp, capture_output=True, text=True, timeout=120)
        recap = dict((m[0], tuple(int(n) for n in m[1:])) for m in RECAP.findall(done.stdout))
        return recap, done.stdout + done.stderr

    def test_modules_documented_and_playbook_lints(self):
        for module in ('site', 'command'):
            with self.subTest(module=module):
                self.assertIn('tarnic.access.' + module, self.run_tool(['ansible-doc', 'tarnic.access.' + module]))
        self.run_tool(['ansible-lint', '--offline', '--nocolor', 'sites.yml'])

    def test_check_apply_and_again(self):
        # The first site alone, then the second with the one that cannot be
        # reached, which fails alone: both tasks run on both sites.
        rows = [
            # (ansible-playbook's options, each site's changed tasks, whether the simulators' state stays)
            (['--check', '--diff'], 1, True),
            ([], 1, False),
            ([], 0, True),
        ]
        for args, changed, unchanged in rows:
            with self.subTest(args=args, changed=changed):
                before = self.held()
                recap, out = self.playbook(*args)
                for site in SITES:
                    self.assertEqual(recap.get(site), (2, changed, 0, 0), out)
                self.assertEqual(recap.get('offline', (0,))[2], 1, out)
                # The last task read each controller's version in a fleet run, filed under its id.
                with open(self.path('tree/north'), encoding='utf-8') as f:
                    versions = json.load(f)
                self.assertEqual([c['results']['version'] for c in versions['controllers']], [VERSION] * 2)
                self.assertEqual(set(r['run'] for r in versions['journal']), {versions['run']})
                self.assertEqual(self.held() == before, unchanged, out)
                if '--diff' in args:
                    for line in ('+pending clock: ', '+pending profile: never programmed from this journal',
                                 '-settings_sha256: (none in the journal)', '+clock_tolerance_s: 5'):
                        self.assertIn(line, out)
        for held in self.held():
            self.assertNotIn('"clock_offset": 400', held)


if __name__ == '__main__':
    unittest.main()
