#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: QLX-Setting developers
# MIT License (see LICENSE in the QLX-Setting sources)
"""Ansible module: one site's QLX device list served by qlx-setting-cli on the managed host."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: devices
short_description: Check, send to, search or compare the QLX devices of a site's device list
version_added: "1.0.0"
description:
  - Runs C(qlx-setting-cli) on the managed host over the site's device list and returns every
    served device's result, read from the run's JSON report.
  - C(check) reads each device and records the result in the list; it never reports C(changed).
  - C(send) streams each device its settings file; it reports C(changed) only when some
    device's variables changed (the report's C(changed) names).
  - In check mode nothing is written to a device and nothing is written on the managed host,
    not in the list, not in the work folder, and not at I(report) either. C(send) runs
    C(qlx-setting-cli plan) instead and reports as C(changed) what it would change; C(check)
    runs C(qlx-setting-cli plan --read-only), which reads each device as a check does and needs
    no send file. The run's report and its folder (transcripts, the dumps the plan reads) go
    into the module's temporary folder on the managed host and are removed with it.
  - C(search) runs the LAN search; it changes the list only with I(apply=true).
  - C(drift) runs C(qlx-setting-cli drift), which compares each selected device's latest dump
    in the settings history with what the I(golden) send file would set, without connecting to
    any device. It never reports C(changed); the host fails only with I(fail_on_drift=true) and
    some device drifting, or when the program could not run. It writes nothing on the managed
    host but I(report), and in check mode not even that.
  - The host fails when a device failed; C(msg) names the failed devices and their results.
options:
  action:
    description: What to do with the selected devices.
    type: str
    choices: [check, send, search, drift]
    default: check
  list:
    description:
      - The site's device list file on the managed host.
      - Default is the C(listcsv) of the settings file.
    type: path
  ini:
    description:
      - The settings file (options, waits, send method and send file).
      - Default is the window's settings file of the user running the module.
    type: path
  work:
    description:
      - The work folder for the device files (dumps, logs, transcripts of the dialogue).
      - Default is the window's work folder.
    type: path
  selection:
    description:
      - Selection options of C(qlx-setting-cli), as a list, for example C(["--group", "2"]),
        C(["--no", "3,7-12"]) or C(["--failed"]).
      - Without one, the checked records are served.
    type: list
    elements: str
    default: []
  parallel:
    description: Devices served at once, 1 to 128.
    type: int
    default: 1
  report:
    description:
      - Where to keep the run's JSON report on the managed host (a name ending C(.json)). The
        folder of the same name keeps each device's transcript (and, for a plan, its dump).
      - Without it, the report is read from a temporary folder and removed.
      - Not written in check mode (see the description).
    type: path
  apply:
    description: For I(action=search), store the merged list.
    type: bool
    default: false
  own_address:
    description: For I(action=search), the address taken as this host's own (C(--own-address)).
    type: str
  golden:
    description:
      - For I(action=drift), the send file the devices are meant to hold (C(--golden)), on the
        managed host. Required with I(action=drift).
    type: path
  fail_on_drift:
    description:
      - For I(action=drift), fail the host when some selected device drifts from I(golden).
      - Devices without a dump in the history count as drifting only when the program says so
        (its exit code 1).
    type: bool
    default: false
  chdir:
    description:
      - The folder the program runs in; relative paths in the settings file (the send files)
        and in the options are taken from there.
    type: path
  cli:
    description: The program to run.
    type: path
    default: qlx-setting-cli
extends_documentation_fragment:
  - ansible.builtin.action_common_attributes
attributes:
  check_mode:
    support: full
    details: >-
      A send runs C(plan), a check runs C(plan --read-only) (no send file needed); nothing is
      written on the managed host outside the module's temporary folder, I(report) included.
  diff_mode:
    support: full
    details: Before and after per device whose variables change (or would change).
  platform:
    platforms: posix
notes:
  - C(qlx-setting-cli) must be installed on the managed host (or named by I(cli)).
  - Exit codes of the program other than 0 and 1 (usage error, unreadable files, interrupted)
    fail the host with the program's own message.
requirements:
  - qlx-setting-cli 1.00 or later on the managed host
author:
  - QLX-Setting developers
"""

EXAMPLES = r"""
- name: Check every device of the site
  qlx.fleet.devices:
    action: check
    list: /srv/qlx/osaka/list.csv
    ini: /srv/qlx/qlx-setting.Ini
    selection: ["--all"]

- name: Send the settings files to group 2, four devices at a time, keeping the report
  qlx.fleet.devices:
    action: send
    list: /srv/qlx/osaka/list.csv
    ini: /srv/qlx/qlx-setting.Ini
    selection: ["--group", "2"]
    parallel: 4
    report: /var/tmp/qlx-setting-reports/send-osaka.json
  register: sent

- name: Look for devices on the LAN without changing the list
  qlx.fleet.devices:
    action: search
    list: /srv/qlx/osaka/list.csv
    own_address: 10.20.1.5

- name: Fail the site when a device no longer holds the golden settings
  qlx.fleet.devices:
    action: drift
    golden: /srv/qlx/osaka/golden.txt
    list: /srv/qlx/osaka/list.csv
    work: /srv/qlx/osaka/data
    fail_on_drift: true
  register: drift

- name: Name the devices that drift
  ansible.builtin.debug:
    msg: "{{ drift.drifted_devices | map(attribute='name') | list }}"
"""

RETURN = r"""
rc:
  description: The exit code of C(qlx-setting-cli).
  returned: always
  type: int
  sample: 1
command:
  description: The command line that ran.
  returned: always
  type: list
  elements: str
devices:
  description:
    - One entry per device served, in the order the results came.
    - For I(action=drift), one entry per selected device as the drift report has it
      (C(number), C(name), C(address), C(state), C(names), C(changes); see I(drifted_devices)).
  returned: when the action is check, send or drift and the program wrote its report
  type: list
  elements: dict
  contains:
    "no":
      description: The record number.
      type: int
    name:
      description: The record's list name.
      type: str
    address:
      description: The device's address.
      type: str
    code:
      description: The result code, C(000) for success.
      type: str
    result:
      description: The result text.
      type: str
    ok:
      description: >-
        Whether the device succeeded (the report's C(ok)), so a play can pick the failed
        devices without knowing result codes.
      type: bool
    recorded:
      description: >-
        Whether the result is in the list; null in check mode, which records nothing.
      type: bool
    changed:
      description: >-
        The variables the send changed (or the plan would change), C(count) and C(names);
        null for a check and for a device that failed.
      type: dict
    plan:
      description: In check mode, the plan's lines for the device.
      type: list
      elements: str
  sample:
    - {"no": 1, name: hall, address: 127.0.0.121, code: "000", result: "OK 正常送信", ok: true,
       changed: {count: 1, names: [".ipAdEntNetMask"]}}
failed_devices:
  description: "The devices that failed, as C(No.NNN NAME ADDRESS: CODE RESULT)."
  returned: when the action is check or send
  type: list
  elements: str
changed_devices:
  description: The record numbers of the devices whose variables changed (or would change).
  returned: when the action is send
  type: list
  elements: int
drifted_devices:
  description: >-
    The devices whose held values differ from I(golden), in record order, as the drift report
    has them: C(number), C(name), C(address), C(state) (C(drifted)), C(names) (the variables
    that differ) and C(changes) (what a send of I(golden) would change, in C(plan)'s words).
  returned: when the action is drift
  type: list
  elements: dict
  sample:
    - {number: 3, name: hall, address: 127.0.0.3, state: drifted, names: [".sysName"],
       changes: ["would change .sysName: A -> B"]}
no_dump_devices:
  description: The devices the history holds no dump of yet (state C(no dump)).
  returned: when the action is drift
  type: list
  elements: dict
drift:
  description: >-
    The drift report's C(run): C(verb), C(selection), C(golden), C(start), C(end), C(selected),
    C(drifted), C(noDump) and C(version).
  returned: when the action is drift and the program wrote its report
  type: dict
report:
  description: The report kept on the managed host.
  returned: when I(report) is given, not in check mode
  type: str
summary:
  description: The program's standard error lines (progress and summary).
  returned: always
  type: list
  elements: str
stdout_lines:
  description: The program's standard output (the plan, the search's replies and merge).
  returned: always
  type: list
  elements: str
"""

import hashlib
import json
import os
import re
import shutil
import tempfile

from ansible.module_utils.basic import AnsibleModule

EXIT_OK = 0
EXIT_SOME_FAILED = 1
EXIT_MEANING = {
    2: "usage error (check the module's options)",
    3: "the list or settings file cannot be read or written",
    130: "interrupted",
}
SUCCESS_CODE = "000"
HEADING = re.compile(r"^No\.(\d+) ")


def report_rows(path):
    """The rows of a JSON report; None when the program wrote none."""
    try:
        with open(path, "rb") as f:
            data = json.loads(f.read().decode("utf-8"))
    except (OSError, ValueError):
        return None
    if isinstance(data, dict):
        data = next((v for v in data.values() if isinstance(v, list)), [])
    return [row for row in data if isinstance(row, dict)]


def device_label(row):
    return "No.%03d %s %s" % (row.get("no", 0), row.get("name", ""), row.get("address", ""))


def file_digest(path):
    try:
        with open(path, "rb") as f:
            return hashlib.sha256(f.read()).hexdigest()
    except OSError:
        return None


def shown_value(text):
    return "" if text == "(empty)" else text


def plan_by_device(stdout):
    """The plan's lines per record number: a heading "No.NNN ...", then its lines indented."""
    plans, current = {}, None
    for line in stdout.splitlines():
        m = HEADING.match(line)
        if m:
            current = int(m.group(1))
            plans[current] = []
        elif current is not None and line.startswith("  "):
            plans[current].append(line[2:])
    return plans


def before_after(lines):
    """Before and after texts from plan or diff lines, one NAME=VALUE per variable."""
    before, after = [], []
    for line in lines:
        for prefix in ("would change ", "changed "):
            if line.startswith(prefix):
                name, _, values = line[len(prefix):].partition(": ")
                old, _, new = values.partition(" -> ")
                before.append("%s=%s" % (name, shown_value(old)))
                after.append("%s=%s" % (name, shown_value(new)))
        for prefix, side in (("would add ", after), ("added   ", after), ("removed ", before)):
            if line.startswith(prefix):
                name, _, value = line[len(prefix):].partition(": ")
                side.append(value if name == "line" else "%s=%s" % (name, shown_value(value)))
    return "".join(l + "\n" for l in before), "".join(l + "\n" for l in after)


class Runner(object):
    def __init__(self, module, tmpdir):
        self.module = module
        self.p = module.params
        self.tmpdir = tmpdir

    def files(self):
        args = []
        for option, flag in (("list", "--list"), ("ini", "--ini"), ("work", "--work")):
            if self.p[option]:
                args += [flag, self.p[option]]
        return args

    def run(self, argv):
        rc, out, err = self.module.run_command(argv, cwd=self.p["chdir"],
                                               errors="surrogate_then_replace")
        return rc, out, err

    def fail_on_exit(self, rc, result):
        if rc not in (EXIT_OK, EXIT_SOME_FAILED):
            result["msg"] = "qlx-setting-cli exited %d: %s" % (
                rc, EXIT_MEANING.get(rc, "unexpected exit code"))
            if result["summary"]:
                result["msg"] += ": " + " / ".join(result["summary"][-3:])
            self.module.fail_json(**result)

    def serve(self):
        p, check_mode = self.p, self.module.check_mode
        verb = "plan" if check_mode else p["action"]
        if p["report"] and not p["report"].lower().endswith(".json"):
            self.module.fail_json(msg="report must name a .json file: %s" % p["report"])
        # Check mode writes nothing on the host: the plan's report stays in the temporary folder.
        keep = bool(p["report"]) and not check_mode
        report = p["report"] if keep else os.path.join(self.tmpdir, "report.json")
        if keep:
            # Hosts served at once may share the folder: whichever comes first makes it.
            os.makedirs(os.path.dirname(os.path.abspath(report)), exist_ok=True)
        # A check in check mode only reads the devices: it needs no send file.
        read_only = ["--read-only"] if check_mode and p["action"] == "check" else []
        argv = [p["cli"], verb] + read_only + p["selection"] + self.files() + [
            "--parallel", str(p["parallel"]), "--report", report, "--quiet"]
        rc, out, err = self.run(argv)
        result = dict(changed=False, rc=rc, command=argv, summary=err.splitlines(),
                      stdout_lines=out.splitlines())
        if keep:
            result["report"] = report
        self.fail_on_exit(rc, result)
        rows = report_rows(report)
        if rows is None:
            result["msg"] = "qlx-setting-cli wrote no report: %s" % report
            self.module.fail_json(**result)

        plans = plan_by_device(out) if check_mode else {}
        devices, failed, changed_devices = [], [], []
        for row in rows:
            device = dict(row)
            if not isinstance(row.get("ok"), bool):  # a program older than the report's "ok"
                device["ok"] = row.get("code") == SUCCESS_CODE
            if check_mode:
                device["plan"] = plans.get(row.get("no"), [])
            if not device["ok"]:
                failed.append("%s: %s %s" % (device_label(row), row.get("code", ""),
                                             row.get("result", "")))
            names = (row.get("changed") or {}).get("names") or []
            if p["action"] == "send" and names:
                changed_devices.append(row.get("no"))
            devices.append(device)
        result["devices"] = devices
        result["failed_devices"] = failed
        if p["action"] == "send":
            result["changed_devices"] = changed_devices
            result["changed"] = bool(changed_devices)
            if self.module._diff and changed_devices:
                result["diff"] = self.diffs(devices, changed_devices, plans)
        if failed or rc != EXIT_OK:
            result["msg"] = "%d of %d device(s) failed: %s" % (
                len(failed), len(rows), "; ".join(failed) or "see summary")
            self.module.fail_json(**result)
        verb_done = {"plan": "planned", "check": "checked", "send": "served"}[verb]
        if read_only:
            verb_done = "read (check mode)"
        result["msg"] = "%d device(s) %s" % (len(rows), verb_done)
        self.module.exit_json(**result)

    def diffs(self, devices, numbers, plans):
        out = []
        for device in devices:
            no = device.get("no")
            if no not in numbers:
                continue
            if self.module.check_mode:
                lines = plans.get(no, [])
            else:
                rc, text, _ = self.run([self.p["cli"], "diff", str(no)] + self.files())
                lines = text.splitlines() if rc == EXIT_OK else []
            before, after = before_after(lines)
            label = device_label(device)
            after_label = "after a send" if self.module.check_mode else "after the send"
            out.append(dict(before_header=label, after_header="%s, %s" % (label, after_label),
                            before=before, after=after))
        return out

    def search(self):
        p = self.p
        argv = [p["cli"], "search"]
        if p["own_address"]:
            argv += ["--own-address", p["own_address"]]
        files = self.files()
        target = p["list"]
        if p["apply"] and self.module.check_mode:
            # The merge is tried on a copy: the result tells what applying would change.
            if not target:
                self.module.fail_json(msg="check mode of search with apply needs list")
            copy = os.path.join(self.tmpdir, "list.csv")
            if os.path.exists(target):
                shutil.copyfile(target, copy)
            files = ["--list", copy] + (["--ini", p["ini"]] if p["ini"] else [])
            target = copy
        before = file_digest(target) if target else None
        if p["apply"]:
            argv.append("--apply")
        argv += files
        rc, out, err = self.run(argv)
        result = dict(changed=False, rc=rc, command=argv, summary=err.splitlines(),
                      stdout_lines=out.splitlines())
        self.fail_on_exit(rc, result)
        if p["apply"]:
            if not target:
                result["changed"] = True  # the settings' list: assume the merge stored something
            else:
                result["changed"] = file_digest(target) != before
        found = sum(1 for line in out.splitlines() if line.startswith("found "))
        result["msg"] = "%d device(s) found" % found
        self.module.exit_json(**result)


class DriftCheck(object):
    """Compares the devices' latest dumps in the history with a golden send file: reads only."""

    def __init__(self, runner):
        self.runner = runner
        self.module = runner.module
        self.p = runner.module.params

    def report_path(self):
        p = self.p
        if p["report"] and not p["report"].lower().endswith(".json"):
            self.module.fail_json(msg="report must name a .json file: %s" % p["report"])
        if not p["report"] or self.module.check_mode:
            return os.path.join(self.runner.tmpdir, "drift.json"), False
        os.makedirs(os.path.dirname(os.path.abspath(p["report"])), exist_ok=True)
        return p["report"], True

    @staticmethod
    def read_report(path):
        try:
            with open(path, "rb") as f:
                data = json.loads(f.read().decode("utf-8"))
        except (OSError, ValueError):
            return None
        if not isinstance(data, dict) or not isinstance(data.get("devices"), list):
            return None
        return data

    @staticmethod
    def label(row):
        return "No.%03d %s %s" % (row.get("number", 0), row.get("name", ""),
                                  row.get("address", ""))

    def run(self):
        p = self.p
        report, keep = self.report_path()
        argv = [p["cli"], "drift", "--golden", p["golden"]] + p["selection"] + \
            self.runner.files() + ["--report", report]
        rc, out, err = self.runner.run(argv)
        result = dict(changed=False, rc=rc, command=argv, summary=err.splitlines(),
                      stdout_lines=out.splitlines())
        if keep:
            result["report"] = report
        self.runner.fail_on_exit(rc, result)
        data = self.read_report(report)
        if data is None:
            result["msg"] = "qlx-setting-cli wrote no drift report: %s" % report
            self.module.fail_json(**result)
        devices = [row for row in data["devices"] if isinstance(row, dict)]
        drifted = [row for row in devices if row.get("state") == "drifted"]
        no_dump = [row for row in devices if row.get("state") == "no dump"]
        result.update(devices=devices, drifted_devices=drifted, no_dump_devices=no_dump,
                      drift=data.get("run") if isinstance(data.get("run"), dict) else {})
        named = ["%s (%s)" % (self.label(row), ", ".join(row.get("names") or []))
                 for row in drifted]
        named += ["%s (no dump)" % self.label(row) for row in no_dump]
        if rc == EXIT_OK:
            result["msg"] = "no device drifts (%d compared)" % len(devices)
        else:
            result["msg"] = "%d of %d device(s) drift from %s: %s" % (
                len(named), len(devices), p["golden"], "; ".join(named) or "see summary")
        if rc != EXIT_OK and p["fail_on_drift"]:
            self.module.fail_json(**result)
        # Ansible takes a result whose rc is not 0 as failed unless told otherwise.
        self.module.exit_json(failed=False, **result)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            action=dict(type="str", choices=["check", "send", "search", "drift"],
                        default="check"),
            list=dict(type="path"),
            ini=dict(type="path"),
            work=dict(type="path"),
            selection=dict(type="list", elements="str", default=[]),
            parallel=dict(type="int", default=1),
            report=dict(type="path"),
            apply=dict(type="bool", default=False),
            own_address=dict(type="str"),
            golden=dict(type="path"),
            fail_on_drift=dict(type="bool", default=False),
            chdir=dict(type="path"),
            cli=dict(type="path", default="qlx-setting-cli"),
        ),
        required_if=[("action", "drift", ["golden"])],
        supports_check_mode=True,
    )
    if not 1 <= module.params["parallel"] <= 128:
        module.fail_json(msg="parallel takes 1 to 128")
    tmpdir = tempfile.mkdtemp(prefix="qlx-fleet-", dir=module.tmpdir)
    try:
        runner = Runner(module, tmpdir)
        if module.params["action"] == "search":
            runner.search()
        elif module.params["action"] == "drift":
            DriftCheck(runner).run()
        else:
            runner.serve()
    finally:
        shutil.rmtree(tmpdir, ignore_errors=True)


if __name__ == "__main__":
    main()
