# -*- coding: utf-8 -*-
# The options every module of the collection shares.

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
options:
  cli:
    description:
      - The C(tarnic-cli) program on the managed host, an absolute path or a name looked up in C(PATH).
    type: path
    default: tarnic-cli
  journal:
    description:
      - The journal file C(tarnic-cli) records into on the managed host (its C(--journal)).
      - Unset, C(tarnic-cli) chooses (C($TARNIC_JOURNAL), else the user's own journal).
    type: path
requirements:
  - C(tarnic-cli) on the managed host
'''
