# -*- coding: utf-8 -*-
# The modules' one way to the controllers: a tarnic-cli command line, run on
# the managed host, its JSON Lines read back and its exit status mapped.
# Everything a controller is asked stays inside tarnic-cli.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os
import shlex

# Options both modules take: which tarnic-cli runs and which journal it records into.
COMMON_SPEC = dict(
    cli=dict(type='path', default='tarnic-cli'),
    journal=dict(type='path'),
)

# Operations that leave the controller and the managed host as they were:
# they run in check mode and never report a change.
READ_ONLY = (('version',), ('memory',), ('time', 'get'))


def journal_args(params):
    return ['--journal', params['journal']] if params.get('journal') else []


def global_args(params):
    return ['--json'] + journal_args(params)


def joined(value):
    """A list option (waves, only) as tarnic-cli's comma-separated form."""
    if isinstance(value, (list, tuple)):
        return ','.join(str(v) for v in value)
    return str(value)


def selection_args(params):
    """--only and --parallel of a run over an inventory."""
    args = []
    # An empty list passes on as an empty --only, which tarnic-cli refuses:
    # an unset variable never means "every controller".
    if params.get('only') is not None:
        args += ['--only', joined(params['only'])]
    if params.get('parallel') is not None:
        args += ['--parallel', str(params['parallel'])]
    return args


def site_verb(check_mode):
    # Check mode only plans: plan changes nothing on any controller.
    return 'plan' if check_mode else 'apply'


def site_argv(params, check_mode):
    verb = site_verb(check_mode)
    argv = global_args(params) + [verb, params['inventory']] + selection_args(params)
    if params.get('prune'):
        argv.append('--prune')
    if verb == 'apply':
        if params.get('waves') is not None:
            argv += ['--waves', joined(params['waves'])]
        if params.get('max_failures') is not None:
            argv += ['--max-failures', str(params['max_failures'])]
        argv.append('--yes' if params.get('answer_id_size') else '--no')
    return argv


def operation_words(operation):
    if isinstance(operation, (list, tuple)):
        return [str(w) for w in operation]
    return shlex.split(str(operation))


def command_argv(params):
    argv = global_args(params)
    operation = operation_words(params['operation'])
    if params.get('inventory'):
        argv += ['fleet', params['inventory']] + selection_args(params)
        if params.get('retries') is not None:
            argv += ['--retries', str(params['retries'])]
        if params.get('answer_id_size'):
            argv.append('--yes')
        return argv + ['--'] + operation
    if params.get('serial'):
        argv += ['--serial', params['serial']]
        if params.get('baud') is not None:
            argv += ['--baud', str(params['baud'])]
    else:
        argv += ['--tcp', params['tcp']]
    return argv + operation


def read_only(operation):
    words = tuple(operation_words(operation))
    return any(words[:len(r)] == r for r in READ_ONLY)


def json_lines(text):
    """The objects tarnic-cli printed; a line that is not JSON is kept as text."""
    events = []
    for line in text.splitlines():
        if not line.strip():
            continue
        try:
            event = json.loads(line)
        except ValueError:
            event = None
        events.append(event if isinstance(event, dict) else {'event': 'text', 'text': line})
    return events


def site_outcome(verb, rc, controllers):
    """(changed, failed) of a plan or apply run.

    plan: exit 4 means actions are pending, not a failure; changed is whether
    any controller has actions pending. apply: anything but exit 0 failed;
    changed is whether any controller had an action done, failed or not.
    """
    if verb == 'plan':
        return any(c.get('actions') for c in controllers), rc not in (0, 4)
    return any(c.get('done') for c in controllers), rc != 0


def command_outcome(operation, rc, exits):
    """(changed, failed) of one operation: tarnic-cli's exit status, and each
    controller's (a fleet's controllers, or the one).

    A usage error (2) or a link that did not open (3) sent nothing; any other
    end may have changed the controller, unless the operation only reads.
    """
    changed = not read_only(operation) and any(e not in (2, 3) for e in exits)
    return changed, rc != 0


def first_line(text):
    """What a message shows of stderr: its first line (the rest is usage, kept in stderr)."""
    lines = text.strip().splitlines()
    return lines[0] if lines else ''


def site_failure(verb, rc, err, controllers, summary):
    """Why a plan or apply failed, in one line: stderr's reason, each controller's, a stop."""
    reasons = [first_line(err)] if first_line(err) else []
    for c in controllers:
        why = c.get('error') or c.get('message')
        if why:
            reasons.append('%s: %s' % (c.get('name'), why))
    if summary.get('stopped'):
        reasons.append(summary['stopped'])
    return 'tarnic-cli %s exited %d%s' % (verb, rc, ': ' + '; '.join(reasons) if reasons else '')


def lines_of(values):
    return ''.join('%s: %s\n' % (k, json.dumps(values[k], sort_keys=True) if isinstance(values[k], (dict, list)) else values[k])
                   for k in sorted(values))


def site_diff(controllers):
    """Per controller with actions: what was read against the desired state.

    Counts, versions and hashes only: tarnic-cli's read and desired values
    never hold a card ID.
    """
    diff = []
    for c in controllers:
        if not c.get('actions'):
            continue
        before = dict(c.get('read') or {})
        desired = c.get('desired') or {}
        if 'settings_sha256' in desired:
            record = c.get('journal_record') or {}
            before['settings_sha256'] = record.get('settings_sha256', '(none in the journal)')
        pending = ''.join('pending %s: %s\n' % (a.get('kind'), a.get('reason')) for a in c['actions'])
        pending += ''.join('note: %s\n' % n for n in c.get('notes', []))
        title = '%s (%s)' % (c.get('name'), c.get('endpoint'))
        diff.append(dict(before_header='%s: read' % title, after_header='%s: desired' % title,
                         before=lines_of(before), after=lines_of(desired) + pending))
    return diff


class TarnicCli:
    """tarnic-cli on the managed host, run for a module."""

    def __init__(self, module):
        self.module = module
        cli = module.params['cli']
        if os.sep in cli:
            if not os.access(cli, os.X_OK):
                module.fail_json(msg='tarnic-cli not found or not executable: %s' % cli)
            self.path = cli
        else:
            self.path = module.get_bin_path(cli, required=True)

    def run(self, argv):
        """(exit status, events, stderr) of one run; no shell in between."""
        rc, out, err = self.module.run_command([self.path] + argv)
        return rc, json_lines(out), err

    def journal_records(self, run):
        """The journal's records of one run, or [] with a warning."""
        if not run:
            return []
        rc, events, err = self.run(journal_args(self.module.params) + ['journal', '--run', run, '--json'])
        if rc != 0:
            self.module.warn('the journal of run %s could not be read: %s' % (run, err.strip()))
            return []
        return events


def events_of(events, kind):
    return [e for e in events if e.get('event') == kind]


def without_event(event):
    return dict((k, v) for k, v in event.items() if k != 'event')
