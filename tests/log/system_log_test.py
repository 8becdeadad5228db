#!/usr/bin/env python3
"""The system log with a real journald: what arrives for each VELM_LOG_SYSLOG, read back with journalctl."""
import atexit, json, os, pathlib, select, socket, subprocess, sys, tempfile, time, unittest

HOST = sys.argv.pop(1)
JOURNAL_DIR = "/run/systemd/journal"
JOURNALD = "/lib/systemd/systemd-journald"
LEVELS = {2: "7", 3: "4", 4: "3", 5: "2", 6: "5", 7: "6", 8: "6", 9: "6"}  # level: syslog priority
SCRATCH = tempfile.TemporaryDirectory(prefix="velm_syslog_")


def host_env(**env):
    """A folder for the session file, and the environment with it and env (None: unset) for the only VELM_ variables."""
    scratch = tempfile.mkdtemp(dir=SCRATCH.name)
    full = dict({k: v for k, v in os.environ.items() if not k.startswith("VELM_")}, VE_TMP_DIR=scratch, **env)
    return scratch, {k: v for k, v in full.items() if v is not None}


def run_host(mode, **env):
    """Runs the host under a name of its own; returns the name, its journal entries and its session file's folder."""
    ident = "velm%s%d%d" % (mode, os.getpid(), time.monotonic_ns() % 1000000)
    scratch, full = host_env(**env)
    subprocess.run([HOST, mode, ident], env=full, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["journalctl", "--sync"], check=False)
    out = subprocess.run(["journalctl", "-o", "json", "SYSLOG_IDENTIFIER=" + ident], capture_output=True, text=True)
    return ident, [json.loads(line) for line in out.stdout.splitlines()], scratch


class SystemLog(unittest.TestCase):
    def test_every_level_from_the_syslog_level_arrives_with_its_priority_and_fields_when_switched_on(self):
        warning = "VELM_LOG_SYSLOG=bogus is none of journal, syslog, eventlog, auto, off"
        for value, env, least in [("journal", {"VELM_LOG_LEVEL_SYSLOG": "2"}, 2), ("auto", {}, 4),
                                  ("syslog", {"VELM_LOG_SYSLOG_FACILITY": "local3"}, 4),  # syslog: through /dev/log
                                  ("bogus", {}, None), ("off", {}, None), (None, {}, None)]:  # None: nothing is sent
            with self.subTest(str(value)):
                ident, entries, scratch = run_host("levels", VELM_LOG_SYSLOG=value, **env)
                [session_file] = pathlib.Path(scratch).glob(ident + "_site_*.log")
                lines = [line for line in session_file.read_text().splitlines() if "VELM_LOG_SYSLOG=" in line]
                self.assertEqual([warning in line for line in lines], [True] if value == "bogus" else [])
                levels = [level for level in LEVELS if least and level >= least]
                sent = [("%s level %d" % (ident, level), LEVELS[level]) for level in levels] + [(ident + " print", "5")]
                self.assertEqual([(e["MESSAGE"], e["PRIORITY"]) for e in entries], sent if least else [])
                if value == "syslog":
                    self.assertEqual({(e["SYSLOG_FACILITY"], "VELM_LEVEL" in e) for e in entries}, {("19", False)})
                elif least:
                    self.assertEqual([e["VELM_LEVEL"] for e in entries], [str(level) for level in levels] + ["6"])
                    fields = {(e["VELM_PRODUCT"], e["VELM_CUSTOMER"], e["VELM_SESSION_FILE"], e["TID"].isdigit())
                              for e in entries}
                    self.assertEqual(fields, {("Velm Test", "site", str(session_file), True)})

    def test_every_message_of_eight_threads_then_of_both_sides_of_a_fork_arrives_once_and_alone(self):
        ident, entries, scratch = run_host("threads", VELM_LOG_SYSLOG="journal")
        self.assertEqual(os.listdir(scratch), [])  # below the file's level: no session file
        expected = ["%s t%d m%d" % (ident, t, m) for t in range(8) for m in range(50)] + [ident + " parent"]
        self.assertEqual(sorted(e["MESSAGE"] for e in entries), sorted(expected + [ident + " child"]))

    def test_a_stalled_journal_holds_no_call_long_and_the_lost_count_arrives_later(self):
        ident = "velmstall%d" % os.getpid()
        stall_dir, env = host_env(VELM_LOG_SYSLOG="journal")
        with socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as receiver:
            receiver.bind(stall_dir + "/socket")  # nobody reads it until the host has logged, in its own mounts
            host = subprocess.Popen(["unshare", "-m", "sh", "-c", 'mount --bind "$0" %s && exec "$@"' % JOURNAL_DIR,
                                     stall_dir, HOST, "stall", ident], env=env, stdin=subprocess.PIPE,
                                    stderr=subprocess.PIPE, stdout=subprocess.DEVNULL, text=True)
            slow = int(host.stderr.readline().split()[1])
            taken = 0
            while select.select([receiver], [], [], 0)[0]:
                receiver.recv(1 << 16)
                taken += 1
            host.communicate("go\n", timeout=60)
            receiver.settimeout(5)
            notice, after = receiver.recv(1 << 16), receiver.recv(1 << 16)  # entries in the journal's own protocol
        self.assertLess(slow, 10, "calls of 600 that waited more than 50 ms for a stalled journal")
        self.assertIn(b"*** %d log messages lost: the system log did not take them in time ***" % (600 - taken), notice)
        self.assertIn(b"%s after" % ident.encode(), after)


def journal_listens():
    with socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as probe:
        return probe.connect_ex(JOURNAL_DIR + "/socket") == 0


if __name__ == "__main__":
    if os.geteuid() != 0 or not os.path.exists(JOURNALD):
        print("skipped: starting journald needs root and %s (Debian's systemd)" % JOURNALD)
        sys.exit(77)
    if not journal_listens():  # started as systemd starts it, and /dev/log made when missing; both undone at exit
        os.makedirs(JOURNAL_DIR, exist_ok=True)
        # systemd raises the datagram queue of new sockets from 10 to 512 before it starts journald.
        qlen = pathlib.Path("/proc/sys/net/unix/max_dgram_qlen")
        qlen.write_text(str(max(512, int(qlen.read_text()))))
        # Ahead of the builds that share the machine: a journald that waits for the processor is a stalled one.
        journald = subprocess.Popen(["nice", "-n", "-10", JOURNALD], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
        atexit.register(journald.terminate)
        deadline = time.monotonic() + 10
        while not (journal_listens() and os.path.exists(JOURNAL_DIR + "/dev-log")) and time.monotonic() < deadline:
            time.sleep(0.1)
    if not os.path.lexists("/dev/log"):
        os.symlink(JOURNAL_DIR + "/dev-log", "/dev/log")
        atexit.register(os.remove, "/dev/log")
    unittest.main(verbosity=2)
