#!/usr/bin/python3
# Deploys a project and/or a program image to one Orvane 600 box by running orvane-deploy on
# the controller or jump host. Boxes have no SSH: plays using it run with connection: local.

from __future__ import annotations

DOCUMENTATION = r"""
---
module: orvane_deploy
short_description: Deploy a project and/or a program image to one Orvane 600 box
description:
  - Runs C(orvane-deploy --json --skip-unchanged) for one box on the host the task runs on
    (the controller or a jump host, with a local connection); boxes have no SSH.
  - A box is not sent what it confirmed before, as the deployment records kept on that host
    show (the copy of the last confirmed project, the MD5 of the last confirmed program); so a
    second rollout of the same files changes nothing.
  - Reports C(changed) only when the box confirmed something it did not have, and fails with
    the tool's reason otherwise (for example the box's C(Checksum failed.)).
  - In check mode nothing is sent and no box is contacted; C(orvane-deploy --check-only) lists
    what a run would change.
options:
  project:
    description: Project file to deploy, sent byte for byte as saved.
    type: path
  program:
    description: Program image to send as a program update, after the project when both are given.
    type: path
  box:
    description: The box's IPv4 address, four decimal parts without leading zeros.
    type: str
    required: true
  bind:
    description: Local IPv4 address to send from.
    type: str
  timeout:
    description: Seconds for the box's whole transfer, verdicts included.
    type: float
    default: 60
  force:
    description: Deploy even when the project checks find errors.
    type: bool
    default: false
  executable:
    description: The orvane-deploy program, by name on the PATH or by path.
    type: path
    default: orvane-deploy
notes:
  - At least one of I(project) and I(program) is required.
  - The deployment records live on the host that runs the task; keep using the same jump host
    per site, or the next rollout cannot tell what a box already has.
author:
  - Orvane 600 tool developers
"""

EXAMPLES = r"""
- name: Roll out the plant project, then a program image
  hosts: orvane_boxes
  connection: local
  gather_facts: false
  serial: 10
  max_fail_percentage: 20
  tasks:
    - name: Deploy to the box
      orvane_deploy:
        project: /srv/orvane/Plant.json
        program: /srv/orvane/firmware-9.9.9.bin
        box: "{{ box_ip }}"
        timeout: 120
"""

RETURN = r"""
result:
  description: The tool's result for the box in words (its verdict, or why nothing was sent).
  returned: always
  type: str
  sample: Checksum successful.
stage:
  description: What the result is about, C(project), C(program), C(unchanged), C(checks) or C(check) in check mode.
  returned: always
  type: str
  sample: project
changes:
  description: In check mode, the project changes compared with the copy the box last confirmed
    (empty when there is no copy, and the whole project would be sent).
  returned: check mode, with I(project)
  type: list
  elements: dict
  sample: [{"kind": "changed", "place": "device 'PLC-1'", "field": "port", "old": "502", "new": "503"}]
seconds:
  description: How long the box's run took.
  returned: when something was sent
  type: float
  sample: 1.25
"""

import json

from ansible.module_utils.basic import AnsibleModule


def box_line(stdout, box):
    for line in stdout.splitlines():
        line = line.strip()
        if not line.startswith("{"):
            continue
        try:
            entry = json.loads(line)
        except ValueError:
            continue
        if entry.get("box") == box:
            return entry
    return None


def main():
    module = AnsibleModule(
        argument_spec=dict(
            project=dict(type="path"),
            program=dict(type="path"),
            box=dict(type="str", required=True),
            bind=dict(type="str"),
            timeout=dict(type="float", default=60),
            force=dict(type="bool", default=False),
            executable=dict(type="path", default="orvane-deploy"),
        ),
        required_one_of=[["project", "program"]],
        supports_check_mode=True,
    )
    params = module.params
    executable = params["executable"]
    if "/" not in executable:
        executable = module.get_bin_path(executable, required=True)

    command = [executable, "--json", "--box", params["box"], "--timeout", str(params["timeout"])]
    for name in ("project", "program", "bind"):
        if params[name]:
            command += ["--" + name, params[name]]
    if params["force"]:
        command.append("--force")
    command.append("--check-only" if module.check_mode else "--skip-unchanged")

    rc, stdout, stderr = module.run_command(command)
    entry = box_line(stdout, params["box"])
    if entry is None:
        # Bad usage (exit 2) or the program could not run: its own words say why.
        module.fail_json(msg=(stderr.strip() or stdout.strip() or "orvane-deploy gave no result"),
                         rc=rc, cmd=command, stderr=stderr)

    result = dict(result=entry.get("result", ""), stage=entry.get("stage", ""), rc=rc, stderr=stderr)
    if "seconds" in entry:
        result["seconds"] = entry["seconds"]
    if module.check_mode:
        result["changes"] = entry.get("changes", [])
        if not entry.get("success", False):
            module.fail_json(msg=result["result"], **result)
        module.exit_json(changed=bool(entry.get("changed", False)), **result)
    if not entry.get("success", False):
        module.fail_json(msg=result["result"], **result)
    module.exit_json(changed=bool(entry.get("changed", False)), **result)


if __name__ == "__main__":
    main()
