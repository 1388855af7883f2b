#!/usr/bin/python3
"""Rolls a project out to six box simulators on loopback through ansible-playbook and the
orvane_deploy module: one box answers "Checksum failed", one is absent.

Usage: rollout.py BIN_DIR SOURCE_DIR
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

BIN, SOURCE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
ADDRESSES = ["127.0.31.%d" % n for n in range(1, 7)]
BAD = {"127.0.31.1": "Checksum failed.", "127.0.31.2": "Failed to connect to server."}
GOOD = [a for a in ADDRESSES if a not in BAD]
PROJECT = os.path.join(SOURCE, "tests/data/projectfile/modbus_tcp.json")
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what, flush=True)


class Sim:
    def __init__(self, address, extra, logdir):
        self.log_path = os.path.join(logdir, address + ".log")
        self.log = open(self.log_path, "wb")
        self.process = subprocess.Popen(
            [os.path.join(BIN, "orvane-boxsim"), "--listen", address, "--exit-with-parent"] + extra,
            stdout=self.log, stderr=subprocess.STDOUT)

    def transfers(self):
        with open(self.log_path, "rb") as f:
            return f.read().count(b"project deployment (command 3) started")

    def stop(self):
        self.process.kill()
        self.process.wait(timeout=10)
        self.log.close()


def playbook(work, home, inventory, extra_args=(), batch=6, max_fail=100):
    env = dict(os.environ)
    env.update({
        "HOME": home,
        "ANSIBLE_HOME": os.path.join(home, ".ansible"),
        "ANSIBLE_LOCAL_TEMP": os.path.join(home, ".ansible-tmp"),
        "LC_ALL": "C.UTF-8",
        "ANSIBLE_LIBRARY": os.path.join(SOURCE, "contrib/ansible/plugins/modules"),
        "ANSIBLE_ROLES_PATH": os.path.join(SOURCE, "contrib/ansible/roles"),
        "ANSIBLE_STDOUT_CALLBACK": "rollout_json",
        "ANSIBLE_CALLBACK_PLUGINS": os.path.join(os.path.dirname(os.path.abspath(__file__)), "callback_plugins"),
        "ANSIBLE_NOCOLOR": "1",
        "ANSIBLE_RETRY_FILES_ENABLED": "0",
        "PATH": BIN + os.pathsep + env.get("PATH", ""),
    })
    command = ["ansible-playbook", "-i", inventory, os.path.join(SOURCE, "contrib/ansible/deploy.yml"),
               "-e", "orvane_project=" + PROJECT, "-e", "orvane_timeout=5",
               "-e", "orvane_batch=%d" % batch, "-e", "orvane_max_fail_percentage=%d" % max_fail]
    command += list(extra_args)
    done = subprocess.run(command, cwd=work, env=env, capture_output=True, text=True, timeout=300)
    try:
        report = json.loads(done.stdout)
    except ValueError:
        print(done.stdout, done.stderr, sep="\n")
        raise
    return report


def summary(report):
    """changed hosts, failed hosts with their messages, and the module results per host."""
    changed, failed, results = set(), {}, {}
    for result in report["results"]:
        if not result["_task"].endswith("Deploy to the box"):
            continue
        address = result.get("invocation", {}).get("module_args", {}).get("box", result["_host"])
        results[address] = result
        if result["_status"] == "failed":
            failed[address] = result.get("msg")
        elif result.get("changed"):
            changed.add(address)
    return changed, failed, results


def main():
    if shutil.which("ansible-playbook") is None:
        print("ansible-playbook is missing: scripts/setup.sh installs ansible-core")
        return 1
    work = tempfile.mkdtemp(prefix="orvane-ansible-")
    sims = []
    try:
        for address in ADDRESSES:
            if address == "127.0.31.2":
                continue  # absent
            extra = ["--checksum-result", "1"] if address == "127.0.31.1" else []
            sims.append((address, Sim(address, extra, work)))
        time.sleep(1.0)
        inventory = os.path.join(work, "boxes.ini")
        with open(inventory, "w") as f:
            f.write("[orvane_boxes]\n")
            for n, address in enumerate(ADDRESSES, 1):
                f.write("box%d box_ip=%s ansible_python_interpreter=/usr/bin/python3\n" % (n, address))
        home = os.path.join(work, "jumphost")
        os.makedirs(home)
        transfers = lambda: {a: s.transfers() for a, s in sims}

        # Check mode first: nothing sent, every box would receive the whole project.
        changed, failed, results = summary(playbook(work, home, inventory, ["--check"]))
        check(sum(transfers().values()) == 0, "check mode sent nothing")
        check(changed == set(ADDRESSES) and not failed, "check mode: every box would change (%s, %s)" % (changed, failed))
        check(all(r.get("result") == "would receive the whole project" for r in results.values()),
              "check mode says the whole project would go")

        # First rollout: 4 changed, 2 failed with their reasons.
        changed, failed, _ = summary(playbook(work, home, inventory))
        check(changed == set(GOOD), "first run changed the four good boxes: %s" % sorted(changed))
        check(failed == BAD, "first run failed the two bad boxes with their reasons: %s" % failed)
        first = transfers()

        # Second rollout: nothing changed, the same two failed; the good boxes are not contacted.
        changed, failed, _ = summary(playbook(work, home, inventory))
        check(changed == set(), "second run changed nothing: %s" % sorted(changed))
        check(failed == BAD, "second run failed the same two: %s" % failed)
        check(all(transfers()[a] == first[a] for a in GOOD), "second run sent nothing to the good boxes")

        # A changed project in check mode: the changes listed, nothing sent.
        changed_project = os.path.join(work, "Plant-changed.json")
        with open(PROJECT, "rb") as f:
            text = f.read()
        with open(changed_project, "wb") as f:
            f.write(text.replace(b'"502"', b'"503"', 1) if b'"502"' in text else text.replace(b"502", b"503", 1))
        before = transfers()
        _, _, results = summary(playbook(work, home, inventory, ["--check", "-e", "orvane_project=" + changed_project]))
        check(transfers() == before, "check mode with a changed project sent nothing")
        check(all(results[a].get("changes") for a in GOOD), "check mode lists the changes of each good box")

        # Batches of two with both bad boxes first: the failure limit stops the play, and the
        # other four receive nothing.
        fresh = os.path.join(work, "otherjumphost")
        os.makedirs(fresh)
        before = transfers()
        changed, failed, _ = summary(playbook(work, fresh, inventory, batch=2, max_fail=40))
        check(failed == BAD and not changed, "the first batch failed and the play stopped: %s %s" % (changed, failed))
        check(all(transfers()[a] == before[a] for a in GOOD), "the other four received nothing")

        # An inventory as ansible-inventory prints it names the boxes for orvane-deploy.
        listed = subprocess.run(["ansible-inventory", "-i", inventory, "--list"], capture_output=True, text=True,
                                timeout=120, env=dict(os.environ, HOME=home, ANSIBLE_HOME=os.path.join(home, ".ansible"),
                                                      LC_ALL="C.UTF-8"))
        inventory_json = os.path.join(work, "inventory.json")
        with open(inventory_json, "w") as f:
            f.write(listed.stdout)
        dry = subprocess.run([os.path.join(BIN, "orvane-deploy"), "--project", PROJECT, "--boxes-from", inventory_json,
                              "--check-only", "--json"], capture_output=True, text=True, timeout=120,
                             env=dict(os.environ, HOME=home))
        boxes = sorted(json.loads(line)["box"] for line in dry.stdout.splitlines() if line.startswith("{"))
        check(dry.returncode == 0 and boxes == sorted(ADDRESSES), "--boxes-from reads the inventory: %s" % boxes)

        # The documentation shows through ansible-doc.
        doc = subprocess.run(["ansible-doc", "-M", os.path.join(SOURCE, "contrib/ansible/plugins/modules"),
                              "orvane_deploy"], capture_output=True, text=True, timeout=120,
                             env=dict(os.environ, HOME=home, ANSIBLE_HOME=os.path.join(home, ".ansible"),
                                      LC_ALL="C.UTF-8"))
        check(doc.returncode == 0 and "skip-unchanged" in doc.stdout and "box_ip" in doc.stdout,
              "ansible-doc shows the module's documentation")
    finally:
        for _, sim in sims:
            sim.stop()
        shutil.rmtree(work, ignore_errors=True)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
