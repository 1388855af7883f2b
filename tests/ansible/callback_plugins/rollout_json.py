# A stdout callback for the rollout test: every task result of the module, as one JSON document
# printed when the run ends (ansible-core ships no JSON callback of its own).

from __future__ import annotations

import json

from ansible.plugins.callback import CallbackBase

DOCUMENTATION = r"""
name: rollout_json
type: stdout
short_description: task results as one JSON document, for the rollout test
description:
  - Prints the results of every task, per host, as JSON when the playbook ends.
"""


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = "stdout"
    CALLBACK_NAME = "rollout_json"

    def __init__(self):
        super().__init__()
        self.results = []

    def _keep(self, result, status):
        entry = dict(result._result)
        entry["_task"] = result._task.get_name()
        entry["_host"] = result._host.get_name()
        entry["_status"] = status
        self.results.append(entry)

    def v2_runner_on_ok(self, result):
        self._keep(result, "ok")

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._keep(result, "failed")

    def v2_runner_on_unreachable(self, result):
        self._keep(result, "unreachable")

    def v2_runner_on_skipped(self, result):
        self._keep(result, "skipped")

    def v2_playbook_on_stats(self, stats):
        self._display.display(json.dumps({"results": self.results}, default=str))
