#!/usr/bin/env python3
"""docs/fleet.md, run for real: its Slurm job script as a small job array on a
one-node Slurm of this host, and its Ansible lines against localhost.

  fleet_test.py slurm|ansible QUARRION_STRESS

The commands are taken from the document itself, so that the document is what
is tested; only the fleet's size, the run's length and the places change. One
task (or the Ansible run) is given a wrong --expect-digest on purpose: the
scheduler must report it failed, and `quarrion-stress --summarize`, as the
document runs it, must name it.

Slurm runs without systemd and cgroups, everything under a temporary folder:
munged with its own key and socket, `slurmctld -D` and `slurmd -D` on ports
found free, stopped by their process ids on every way out (and sent SIGTERM by
the kernel should this script die first). A daemon's log is shown when it fails.

Exit status: 0 pass, 1 fail, 77 skipped with the reason printed (Slurm not
installed or unable to start here, Ansible not installed).
"""
import ctypes
import os
import pwd
import re
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
DOC = ROOT / "docs" / "fleet.md"
SKIP = 77
SECONDS = "1"
TASKS = 2
BAD_TASK = 1
WRONG = "0x1"  # short on purpose: no 16-digit digest for the documents' checker


class Skip(Exception):
    pass


def section(text, heading):
    """The text under `## heading` up to the next heading of that level."""
    m = re.search(rf"^## {re.escape(heading)}\n(.*?)(?=^## |\Z)", text, re.M | re.S)
    if not m:
        raise AssertionError(f"docs/fleet.md has no section '## {heading}'")
    return m.group(1)


def bash_blocks(text):
    return re.findall(r"^```bash\n(.*?)^```", text, re.M | re.S)


def block_with(blocks, needle):
    found = [b for b in blocks if needle in b]
    if not found:
        raise AssertionError(f"docs/fleet.md: no bash block with '{needle}'")
    return found[0]


def substitute(text, pattern, replacement, what):
    """Like re.sub, but the document must still say what the test relies on."""
    new, count = re.subn(pattern, replacement, text)
    if count == 0:
        raise AssertionError(f"docs/fleet.md no longer has {what} ({pattern})")
    return new


def pinned(text, digests, bad):
    """Each pinned digest replaced by what the runner at hand elects (other
    builds elect other digests); `bad`: the matrix digest of the failing run."""
    def repl(m):
        routine = m.group(1)
        if routine not in digests:
            raise AssertionError(f"docs/fleet.md pins {routine}, which the runner does not elect")
        return f"{routine}={bad if routine == 'MatrixWorker' and bad else digests[routine]}"
    return substitute(text, r"\b([A-Z]\w*Worker)=0x[0-9a-fA-F]{16}\b", repl, "a pinned digest")


def run(argv, **kw):
    return subprocess.run(argv, capture_output=True, text=True, **kw)


def elected_digests(stress, folder):
    report = folder / "elect.json"
    done = run([stress, "--seconds", SECONDS, "--quiet", "--json", str(report)])
    if done.returncode != 0:
        raise AssertionError(f"the runner failed ({done.returncode}): {done.stdout}{done.stderr}")
    import json
    refs = json.loads(report.read_text())["references"]
    return {r["routine"]: r["digest"] for r in refs if r.get("digest")}


def summarize(block, env, cwd):
    """The document's --summarize line: (exit status, output)."""
    line = next((l for l in block.splitlines() if "--summarize" in l), None)
    if not line:
        raise AssertionError("docs/fleet.md: no --summarize line to run")
    done = run(["bash", "-c", line], env=env, cwd=cwd)
    print(f"$ {line}\n{done.stdout}{done.stderr}", end="")
    return done.returncode, done.stdout


def check_summary(status, out, failing, passing):
    """The failing run's line says FAIL and names the unexpected digest; the others PASS."""
    lines = out.splitlines()
    def line_of(name):
        found = [l for l in lines if l.startswith(name + " ")]
        if len(found) != 1:
            raise AssertionError(f"--summarize has {len(found)} line(s) for {name}")
        return found[0]
    bad = line_of(failing)
    if " FAIL " not in bad or "MatrixWorker=" not in bad or "not the expected digest" not in bad:
        raise AssertionError(f"--summarize does not name {failing} as failed: {bad}")
    for name in passing:
        if " PASS " not in line_of(name):
            raise AssertionError(f"--summarize does not pass {name}: {line_of(name)}")
    if status != 1:
        raise AssertionError(f"--summarize exited {status}, not 1, with a failed run among them")


# --- Slurm -----------------------------------------------------------------

def die_with_parent():
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def free_ports(count, start=17817):
    """Ports nobody listens on, tried by binding them."""
    ports = []
    port = start
    while len(ports) < count and port < start + 2000:
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
            try:
                s.bind(("", port))
                ports.append(port)
            except OSError:
                pass
        port += 1
    if len(ports) < count:
        raise Skip(f"no {count} free ports from {start}")
    return ports


class Daemons:
    """Processes started here, each stopped by its own id."""

    def __init__(self, folder):
        self.folder = folder
        self.started = []  # (name, Popen, log files)

    def start(self, name, argv, env, logs=()):
        out = open(self.folder / f"{name}.out", "w")
        try:
            process = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT, env=env,
                                       cwd=self.folder, preexec_fn=die_with_parent)
        finally:
            out.close()
        self.started.append((name, process, [self.folder / f"{name}.out", *logs]))
        return process

    def wait_for(self, name, ready, seconds):
        """Polls ready() until true; Skip with the daemon's log when it died or timed out."""
        process = next(p for n, p, _ in self.started if n == name)
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if process.poll() is None and ready():
                return
            if process.poll() is not None:
                self.show_logs()
                raise Skip(f"{name} could not start here (exit {process.returncode}); its log is above")
            time.sleep(0.2)
        self.show_logs()
        raise Skip(f"{name} was not ready within {seconds} s; the logs are above")

    def show_logs(self):
        for name, _, logs in self.started:
            for log in logs:
                if log.exists():
                    lines = log.read_text(errors="replace").splitlines()[-25:]
                    print(f"--- {log.name} (last {len(lines)} lines)")
                    print("\n".join(lines))

    def stop(self):
        for name, process, _ in reversed(self.started):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


def slurm_conf(folder, host, ports, user):
    f = folder
    return f"""ClusterName=quarrion
SlurmctldHost={host}(127.0.0.1)
SlurmctldPort={ports[0]}
SlurmdPort={ports[1]}
SlurmUser={user}
SlurmdUser={user}
AuthType=auth/munge
AuthInfo=socket={f}/munge.socket
CredType=cred/munge
StateSaveLocation={f}/state
SlurmdSpoolDir={f}/spool
SlurmctldPidFile={f}/slurmctld.pid
SlurmdPidFile={f}/slurmd.pid
SlurmctldLogFile={f}/slurmctld.log
SlurmdLogFile={f}/slurmd.log
PlugStackConfig={f}/plugstack.conf
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
JobCompType=jobcomp/filetxt
JobCompLoc={f}/jobcomp.txt
MailProg=/bin/true
MpiDefault=none
SwitchType=switch/none
ReturnToService=2
NodeName={host} NodeAddr=127.0.0.1 CPUs={os.cpu_count() or 1} State=UNKNOWN
PartitionName=fleet Nodes=ALL Default=YES MaxTime=INFINITE State=UP
"""


def start_slurm(daemons, folder):
    for program in ("munged", "slurmctld", "slurmd", "sbatch", "scontrol"):
        if not shutil.which(program):
            raise Skip(f"{program} is not installed (scripts/setup installs slurm-wlm and munge)")
    os.chmod(folder, 0o755)  # munged wants its socket's folder searchable by all
    for sub in ("state", "spool"):
        (folder / sub).mkdir()
    (folder / "plugstack.conf").write_text("")
    key = os.open(folder / "munge.key", os.O_WRONLY | os.O_CREAT, 0o600)
    os.write(key, os.urandom(1024))
    os.close(key)
    host = socket.gethostname().split(".")[0]
    user = pwd.getpwuid(os.getuid()).pw_name
    (folder / "slurm.conf").write_text(slurm_conf(folder, host, free_ports(2), user))
    env = {k: v for k, v in os.environ.items() if not k.startswith("SLURM_")}
    env["SLURM_CONF"] = str(folder / "slurm.conf")

    daemons.start("munged", ["munged", "-F", f"--key-file={folder}/munge.key",
                             f"--socket={folder}/munge.socket", f"--pid-file={folder}/munged.pid",
                             f"--seed-file={folder}/munged.seed"], env)
    daemons.wait_for("munged", lambda: (folder / "munge.socket").exists(), 10)
    daemons.start("slurmctld", ["slurmctld", "-D"], env, [folder / "slurmctld.log"])
    daemons.start("slurmd", ["slurmd", "-D"], env, [folder / "slurmd.log"])
    def idle():  # sinfo retries for long against a controller that is not up
        try:
            return run(["sinfo", "-h", "-o", "%T"], env=env, timeout=2).stdout.strip() == "idle"
        except subprocess.TimeoutExpired:
            return False
    daemons.wait_for("slurmctld", idle, 30)
    return env


def task_states(env, job):
    """{array task: (state, exit code)} as `scontrol show job -o` gives them."""
    states = {}
    for line in run(["scontrol", "show", "job", "-o", job], env=env).stdout.splitlines():
        fields = dict(f.split("=", 1) for f in line.split() if "=" in f)
        if "ArrayTaskId" in fields:
            states[int(fields["ArrayTaskId"])] = (fields.get("JobState"), fields.get("ExitCode"))
    return states


def jobcomp_states(folder, job):
    states = {}
    path = folder / "jobcomp.txt"
    for line in path.read_text().splitlines() if path.exists() else []:
        fields = dict(f.split("=", 1) for f in line.split() if "=" in f)
        if fields.get("ArrayJobId") == job:
            states[int(fields["ArrayTaskId"])] = (fields.get("JobState"), fields.get("ExitCode"))
    return states


def test_slurm(stress, folder):
    text = DOC.read_text()
    slurm = section(text, "Slurm: a job array")
    blocks = bash_blocks(slurm)
    script = block_with(blocks, "#SBATCH --array=")
    digests = elected_digests(stress, folder)

    # One node stands in for the fleet: each task is a machine of its own name.
    script = substitute(script, r"--array=\S+", f"--array=0-{TASKS - 1}", "an --array")
    script = substitute(script, r"--seconds \d+", f"--seconds {SECONDS}", "--seconds")
    script = pinned(script, digests, "$matrix_digest")
    header_end = max(i for i, l in enumerate(script.splitlines()) if l.startswith("#"))
    lines = script.splitlines()
    lines.insert(header_end + 1, f"matrix_digest={digests['MatrixWorker']}; "
                 f"[ \"$SLURM_ARRAY_TASK_ID\" = {BAD_TASK} ] && matrix_digest={WRONG}")
    work = folder / "work"
    (work / "bin").mkdir(parents=True)
    (work / "burnin.sbatch").write_text("\n".join(lines) + "\n")
    (work / "bin" / "quarrion-stress").symlink_to(Path(stress).resolve())
    shim = work / "bin" / "hostname"
    shim.write_text("#!/bin/sh\necho \"node${SLURM_ARRAY_TASK_ID:-0}\"\n")
    shim.chmod(0o755)

    daemons = Daemons(folder)
    try:
        env = start_slurm(daemons, folder)
        env["PATH"] = f"{work / 'bin'}:{env.get('PATH', '/usr/bin:/bin')}"
        submit = block_with(blocks, "sbatch ")
        print(f"$ {submit.strip()}")
        done = run(["bash", "-e", "-c", submit], env=env, cwd=work)
        print(done.stdout + done.stderr, end="")
        m = re.search(r"Submitted batch job (\d+)", done.stdout)
        if done.returncode != 0 or not m:
            daemons.show_logs()
            raise AssertionError("the document's submission failed")
        job = m.group(1)
        started = time.monotonic()
        while run(["squeue", "-h", "-j", job], env=env).stdout.strip():
            if time.monotonic() - started > 60:
                daemons.show_logs()
                raise AssertionError(f"job {job} did not end within 60 s")
            time.sleep(0.3)
        print(f"job array {job}: {TASKS} tasks in {time.monotonic() - started:.1f} s")
        states = task_states(env, job)
        comp = jobcomp_states(folder, job)
        print(f"scontrol: {states}\njobcomp: {comp}")
        for task in range(TASKS):
            want = ("FAILED", "1:0") if task == BAD_TASK else ("COMPLETED", "0:0")
            for source, seen in (("scontrol", states), ("jobcomp", comp)):
                if seen.get(task) != want:
                    for log in sorted((work / "burnin").glob("*.log")):
                        print(f"--- {log.name}\n{log.read_text(errors='replace')}")
                    raise AssertionError(f"{source}: task {task} is {seen.get(task)}, not {want}")
    finally:
        daemons.stop()

    verdict = block_with(bash_blocks(section(text, "Comparing what came back")), "--summarize")
    status, out = summarize(verdict, env, work)
    check_summary(status, out, f"burnin/node{BAD_TASK}.json",
                  [f"burnin/node{t}.json" for t in range(TASKS) if t != BAD_TASK])


# --- Ansible ---------------------------------------------------------------

def test_ansible(stress, folder):
    if not shutil.which("ansible"):
        raise Skip("ansible is not installed; the document's Ansible lines were not run")
    text = DOC.read_text()
    block = block_with(bash_blocks(section(text, "Ansible: an ad-hoc command")), "ansible ")
    digests = elected_digests(stress, folder)
    work = folder / "work"
    (work / "bin").mkdir(parents=True)
    (work / "bin" / "quarrion-stress").symlink_to(Path(stress).resolve())
    # localhost stands in for the group; a root run needs no privilege escalation.
    inventory = "all -i " + shlex.quote("localhost,") + " -c local"
    block = substitute(block, r"\bansible burnin\b", "ansible " + inventory, "ansible burnin")
    block = substitute(block, r" -P \d+", " -P 1", "a poll interval")
    if os.getuid() != 0 or not shutil.which("sudo"):
        block = re.sub(r" -b\b", "", block)  # become asks sudo, which may ask a password
    block = substitute(block, r"--seconds \d+", f"--seconds {SECONDS}", "--seconds")
    block = substitute(block, r"/var/tmp/", f"{work}/tmp/", "/var/tmp/")
    block = pinned(block, digests, WRONG)
    (work / "tmp").mkdir()
    env = dict(os.environ, PATH=f"{work / 'bin'}:{os.environ.get('PATH', '/usr/bin:/bin')}",
               ANSIBLE_HOST_KEY_CHECKING="False", ANSIBLE_NOCOLOR="1")
    commands = [c for c in re.split(r"\n(?=ansible )", block.strip())]
    outcomes = []
    for command in commands:
        done = run(["bash", "-c", command], env=env, cwd=work)
        print(f"$ {command}\n{done.stdout}{done.stderr}", end="")
        outcomes.append(done.returncode)
    if outcomes[0] == 0:
        raise AssertionError("Ansible did not report the run with the wrong digest as failed")
    if any(outcomes[1:]):
        raise AssertionError(f"fetching the files failed: {outcomes}")
    fetched = sorted(p.relative_to(work) for p in (work / "results").rglob("*.json"))
    if len(fetched) != 1:
        raise AssertionError(f"fetched {fetched}, not one report")
    m = re.search(r"`(quarrion-stress --summarize results/[^`]*)`", text)
    if not m:
        raise AssertionError("docs/fleet.md: no --summarize line for the files Ansible fetched")
    line = substitute(m.group(1), r"/var/tmp/", f"{work}/tmp/",
                      "/var/tmp/")
    status, out = summarize(line, env, work)
    check_summary(status, out, str(fetched[0]), [])


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("slurm", "ansible"):
        print(__doc__)
        return 2
    # ctest's timeout and Ctrl-C end the test through its finally blocks.
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda *_: sys.exit(1))
    began = time.monotonic()
    folder = Path(tempfile.mkdtemp(prefix="quarrion-fleet-"))
    try:
        (test_slurm if sys.argv[1] == "slurm" else test_ansible)(sys.argv[2], folder)
    except Skip as why:
        print(f"fleet_test {sys.argv[1]}: SKIPPED: {why}")
        return SKIP
    except AssertionError as why:
        print(f"fleet_test {sys.argv[1]}: FAILED: {why}")
        return 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print(f"fleet_test {sys.argv[1]}: PASS in {time.monotonic() - began:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
