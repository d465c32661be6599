#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
module: site
short_description: Keep a site's door-access controllers in their desired state
description:
  - Runs C(tarnic-cli --json apply) on the managed host (the site's PC) for the site's inventory, whose
    desired-state columns say what each controller should run and hold; only the pending actions run, each
    checked afterwards.
  - In check mode runs C(tarnic-cli --json plan) instead, which changes nothing on any controller.
  - Idempotent; a site in state is only read, and reports no change.
  - Across sites, limit a rollout with the play's C(serial) and C(max_fail_percentage), as C(waves) and
    C(max_failures) limit it within one site.
version_added: 1.0.0
extends_documentation_fragment:
  - tarnic.access.cli
options:
  inventory:
    description:
      - The site's inventory (CSV) on the managed host.
    type: path
    required: true
  only:
    description:
      - Only these controllers of the inventory. An empty list is an error, never "every controller".
    type: list
    elements: str
  parallel:
    description:
      - At most this many controllers at once (C(tarnic-cli)'s default when unset).
    type: int
  waves:
    description:
      - Counts and shares of the controllers with pending actions, cumulative, e.g. C(1,10%,100%); a wave starts
        only when every controller of the one before ended in state. Not used in check mode.
    type: raw
  max_failures:
    description:
      - Start no further controller once this many (C(N)) or this share (C(P%)) have failed. Not used in check
        mode.
    type: raw
  answer_id_size:
    description:
      - The answer to the ID-size question, which clears a controller's data; C(false) answers No.
    type: bool
    default: false
  prune:
    description:
      - Also remove what a controller holds beyond the desired state (C(--prune) on plan and apply).
    type: bool
    default: false
notes:
  - Supports check mode and diff mode. The diff shows per controller with pending actions what was read (before) and the desired state (after),
    firmware identifications, clock offsets, counts and hashes, never card IDs.
author:
  - Tarnic Flash Utility maintainers (@tarnic)
'''

EXAMPLES = r'''
- name: Bring the site into its desired state, one controller first
  tarnic.access.site:
    inventory: /srv/tarnic/site.csv
    journal: /srv/tarnic/journal.db
    waves: 1,100%
    max_failures: 1

- name: Plan only (check mode) for two doors
  tarnic.access.site:
    inventory: /srv/tarnic/site.csv
    only: [door-1, door-2]
  check_mode: true
'''

RETURN = r'''
command:
  description: What ran, C(plan) (check mode) or C(apply).
  returned: always
  type: str
  sample: apply
rc:
  description: The exit status of C(tarnic-cli) (plan 0 in state, 4 actions pending, 1 a controller not read;
    apply 0 the site ended in state, 1 otherwise; 2 usage or inventory error; 130 interrupted).
  returned: always
  type: int
run:
  description: The run's id in the journal.
  returned: when tarnic-cli got as far as the run
  type: str
  sample: 00df2693-444d-45ac-bcf1-278068323af2
summary:
  description: The counts of the run (C(controllers), C(in_state), C(pending) or C(applied), C(failed),
    C(unreachable), ...), as C(tarnic-cli) prints them.
  returned: always
  type: dict
controllers:
  description:
    - Per controller, C(tarnic-cli)'s object, among others C(name), C(endpoint), C(reachable), C(read),
      C(desired), C(actions) (the pending actions, each with C(kind), C(reason), C(predicted_s)) and
      C(journal_record); after apply also C(state), C(done), C(verified), C(recorded), C(failed), C(message).
  returned: always
  type: list
  elements: dict
journal:
  description: The journal's records of the run (C(tarnic-cli journal --run ID --json)).
  returned: always
  type: list
  elements: dict
stderr:
  description: What C(tarnic-cli) wrote to stderr (a usage or inventory error).
  returned: always
  type: str
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tarnic.access.plugins.module_utils.tarnic_cli import (
    COMMON_SPEC, TarnicCli, events_of, site_argv, site_diff, site_failure, site_outcome, site_verb,
    without_event)

ARGUMENT_SPEC = dict(
    COMMON_SPEC,
    inventory=dict(type='path', required=True),
    only=dict(type='list', elements='str'),
    parallel=dict(type='int'),
    waves=dict(type='raw'),
    max_failures=dict(type='raw'),
    answer_id_size=dict(type='bool', default=False),
    prune=dict(type='bool', default=False),
)


def main():
    module = AnsibleModule(argument_spec=ARGUMENT_SPEC, supports_check_mode=True)
    cli = TarnicCli(module)
    verb = site_verb(module.check_mode)
    rc, events, err = cli.run(site_argv(module.params, module.check_mode))
    controllers = [without_event(c) for c in events_of(events, 'controller')]
    summaries = events_of(events, 'summary')
    summary = without_event(summaries[-1]) if summaries else {}
    changed, failed = site_outcome(verb, rc, controllers)
    result = dict(changed=changed, command=verb, rc=rc, run=summary.get('run'), summary=summary,
                  controllers=controllers, journal=cli.journal_records(summary.get('run')),
                  diff=site_diff(controllers), stderr=err)
    if failed:
        module.fail_json(msg=site_failure(verb, rc, err, controllers, summary), **result)
    # Without failed=False Ansible takes a non-zero rc for a failure (plan's 4).
    module.exit_json(failed=False, **result)


if __name__ == '__main__':
    main()
