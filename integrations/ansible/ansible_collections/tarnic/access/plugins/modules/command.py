#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
module: command
short_description: Run one tarnic-cli operation on one door-access controller or a site's fleet
description:
  - Runs C(tarnic-cli --json OPERATION) on the managed host against one controller (C(tcp) or C(serial)), or
    against the controllers of an inventory as a fleet run (C(inventory)), and returns the typed results.
  - For jobs that are not a desired state, such as collecting every site's access lists as a backup.
  - C(version), C(memory) and C(time get) only read; they run in check mode and never report a change. Any
    other operation reports a change once it reached a controller, and does not run in check mode.
version_added: 1.0.0
extends_documentation_fragment:
  - tarnic.access.cli
options:
  operation:
    description:
      - The operation and its arguments, as after C(tarnic-cli)'s link options, e.g. C(version),
        C(time set --hours 1) or C(access upload /srv/backup/{name}.txt) (C({name}), the controller's name in a
        fleet). A string is split as a shell would, without running one; a list is taken word for word.
    type: raw
    required: true
  tcp:
    description:
      - One controller over TCP, C(HOST[:PORT]).
    type: str
  serial:
    description:
      - One controller on this serial device of the managed host.
    type: str
  baud:
    description:
      - The serial line's speed (with C(serial)).
    type: int
  inventory:
    description:
      - Every controller of this inventory (CSV) on the managed host, as a fleet run.
    type: path
  only:
    description:
      - Only these controllers of the inventory (with C(inventory)).
    type: list
    elements: str
  parallel:
    description:
      - At most this many controllers at once (with C(inventory)).
    type: int
  retries:
    description:
      - Run a failed controller again up to this many times (with C(inventory)).
    type: int
  answer_id_size:
    description:
      - Answer the ID-size question Yes in a fleet run (with C(inventory)); on one controller C(program) takes
        C(--yes) in C(operation).
    type: bool
notes:
  - Supports check mode for the operations that only read.
author:
  - Tarnic Flash Utility maintainers (@tarnic)
'''

EXAMPLES = r'''
- name: Keep a copy of every controller's access list on the site's PC
  tarnic.access.command:
    inventory: /srv/tarnic/site.csv
    operation: access upload /srv/tarnic/backup/{name}.txt

- name: Read one controller's firmware identification
  tarnic.access.command:
    tcp: 10.0.4.21
    operation: version
  register: door
'''

RETURN = r'''
rc:
  description: The exit status of C(tarnic-cli) (0 success, 1 the operation failed, 2 usage error, 3 the link
    could not be opened, 130 interrupted).
  returned: always
  type: int
learned:
  description:
    - What the operation learned on one controller (e.g. C(version), C(time), C(memory), C(records)), the
      C(results) of C(tarnic-cli --json) (a name Ansible keeps for itself).
  returned: with tcp or serial
  type: dict
  sample: {"version": "QL 5200 V 3.0"}
lines:
  description: The lines the operation printed on one controller.
  returned: with tcp or serial
  type: list
  elements: str
controllers:
  description: Per controller of a fleet run, its last attempt's C(name), C(state), C(exit), C(attempt) and
    C(results).
  returned: with inventory
  type: list
  elements: dict
summary:
  description: The fleet run's counts (C(done), C(failed), C(exit)) and its id (C(run)).
  returned: with inventory
  type: dict
run:
  description: The fleet run's id in the journal.
  returned: with inventory, when tarnic-cli got as far as the run
  type: str
journal:
  description: The journal's records of the fleet run (C(tarnic-cli journal --run ID --json)).
  returned: with inventory
  type: list
  elements: dict
stderr:
  description: What C(tarnic-cli) wrote to stderr.
  returned: always
  type: str
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tarnic.access.plugins.module_utils.tarnic_cli import (
    COMMON_SPEC, TarnicCli, command_argv, command_outcome, events_of, first_line, read_only, without_event)

ARGUMENT_SPEC = dict(
    COMMON_SPEC,
    operation=dict(type='raw', required=True),
    tcp=dict(type='str'),
    serial=dict(type='str'),
    baud=dict(type='int'),
    inventory=dict(type='path'),
    only=dict(type='list', elements='str'),
    parallel=dict(type='int'),
    retries=dict(type='int'),
    answer_id_size=dict(type='bool'),
)
LINKS = ('tcp', 'serial', 'inventory')


def main():
    module = AnsibleModule(argument_spec=ARGUMENT_SPEC, supports_check_mode=True,
                           mutually_exclusive=[LINKS], required_one_of=[LINKS],
                           required_by=dict(baud='serial', only='inventory', parallel='inventory',
                                            retries='inventory', answer_id_size='inventory'))
    operation = module.params['operation']
    if module.check_mode and not read_only(operation):
        module.exit_json(changed=True, msg='not run in check mode: the operation changes the controller or writes')
    cli = TarnicCli(module)
    rc, events, err = cli.run(command_argv(module.params))
    results = events_of(events, 'result')
    if module.params['inventory']:
        last = dict((r['name'], without_event(r)) for r in results if 'name' in r)
        controllers = list(last.values())
        summaries = [without_event(r) for r in results if 'name' not in r]
        summary = summaries[-1] if summaries else {}
        result = dict(controllers=controllers, summary=summary, run=summary.get('run'),
                      journal=cli.journal_records(summary.get('run')))
        exits = [c.get('exit') for c in controllers]
    else:
        final = results[-1] if results else {}
        result = dict(learned=final.get('results', {}),
                      lines=[e.get('text') for e in events_of(events, 'line')])
        exits = [rc]
    changed, failed = command_outcome(operation, rc, exits)
    result.update(changed=changed, rc=rc, stderr=err)
    if failed:
        message = [m for m in [first_line(err)] + [r.get('message') for r in results] if m]
        module.fail_json(msg='tarnic-cli exited %d%s' % (rc, ': ' + '; '.join(message) if message else ''), **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
