"""Times push from outside: delivers messages one at a time into Dovecot maildirs, taking the
mailboxes in turn, and measures, for each, when a bare IMAP client idling on the same mailbox
hears "* N EXISTS" (the floor: what the server's notice costs) and when Breezel's notice board is
mapped on the X display.

Usage: push_probe.py HOST PORT PASSWORD COUNT USER:MAILDIR...
Prints one line per delivery: "USER exists_ms board_ms" after the delivery, or "USER lost" for
a board that did not come within 10 s. Needs DISPLAY; closes each board (as its close box does)
before the next delivery.
"""
import os
import select
import socket
import sys
import time

from Xlib import X, display
from Xlib.protocol import event

BOARD = "新着お知らせボード"


def now_ms():
    return time.monotonic() * 1000.0


class BareIdler:
    """The floor: LOGIN, EXAMINE INBOX, IDLE, and nothing else."""

    def __init__(self, host, port, user, password):
        self.sock = socket.create_connection((host, port))
        self.buf = b""
        self.line()
        self.sock.sendall(b'a1 LOGIN "%s" "%s"\r\na2 EXAMINE INBOX\r\na3 IDLE\r\n'
                          % (user.encode(), password.encode()))
        while not self.line().startswith(b"+"):
            pass

    def line(self):
        while b"\n" not in self.buf:
            data = self.sock.recv(65536)
            if not data:
                raise SystemExit("the bare client's connection closed")
            self.buf += data
        line, self.buf = self.buf.split(b"\n", 1)
        return line

    def ready_lines(self):
        """Lines that are whole now, without waiting."""
        lines = []
        while True:
            while b"\n" in self.buf:
                line, self.buf = self.buf.split(b"\n", 1)
                lines.append(line)
            readable, _, _ = select.select([self.sock], [], [], 0)
            if not readable:
                return lines
            data = self.sock.recv(65536)
            if not data:
                raise SystemExit("the bare client's connection closed")
            self.buf += data


class Boards:
    """Tells when a top-level window named as the board is mapped."""

    def __init__(self):
        self.d = display.Display()
        self.root = self.d.screen().root
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.watched = set()
        self.wm_delete = self.d.intern_atom("WM_DELETE_WINDOW")
        self.wm_protocols = self.d.intern_atom("WM_PROTOCOLS")

    def fileno(self):
        return self.d.fileno()

    def name(self, window):
        try:
            prop = window.get_full_property(self.d.intern_atom("_NET_WM_NAME"), 0)
            if prop is not None:
                value = prop.value
                return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
            return window.get_wm_name() or ""
        except Exception:
            return ""

    def mapped_boards(self):
        """The boards mapped since the last call: [(time ms, window)]."""
        found = []
        while self.d.pending_events():
            e = self.d.next_event()
            t = now_ms()
            if e.type == X.CreateNotify and e.parent == self.root:
                # Its own map shows on the window itself, also after the manager reparents it.
                e.window.change_attributes(event_mask=X.StructureNotifyMask)
                self.watched.add(e.window.id)
            elif e.type == X.MapNotify and e.window.id in self.watched:
                if self.name(e.window) == BOARD:
                    found.append((t, e.window))
        return found

    def close(self, window):
        message = event.ClientMessage(window=window, client_type=self.wm_protocols,
                                      data=(32, [self.wm_delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(message)
        self.d.flush()


def deliver(maildir, n):
    unique = "%d.P%d.bench%d" % (time.time_ns(), os.getpid(), n)
    tmp = os.path.join(maildir, "tmp", unique)
    with open(tmp, "w") as f:
        f.write("From: bench@example.org\nSubject: push %d\nMessage-ID: <%s@bench>\n\nbody\n"
                % (n, unique))
    os.chown(tmp, 65534, 65534)
    t = now_ms()
    os.rename(tmp, os.path.join(maildir, "new", unique))
    return t


def main():
    host, port, password, count = sys.argv[1:5]
    mailboxes = [entry.split(":", 1) for entry in sys.argv[5:]]
    idlers = [BareIdler(host, int(port), user, password) for user, _ in mailboxes]
    boards = Boards()
    boards.d.sync()
    for n in range(1, int(count) + 1):
        which = (n - 1) % len(mailboxes)
        user, maildir = mailboxes[which]
        idler = idlers[which]
        t0 = deliver(maildir, n)
        exists = board = None
        window = None
        deadline = time.monotonic() + 10
        while (exists is None or board is None) and time.monotonic() < deadline:
            readable, _, _ = select.select([idler.sock, boards], [], [], 0.5)
            if boards in readable or boards.d.pending_events():
                for t, w in boards.mapped_boards():
                    if board is None:
                        board, window = t, w
            if idler.sock in readable or b"\n" in idler.buf:
                for line in idler.ready_lines():
                    if exists is None and line.endswith(b"EXISTS\r"):
                        exists = now_ms()
        if exists is None or board is None:
            print(user, "lost", flush=True)
        else:
            print("%s %.1f %.1f" % (user, exists - t0, board - t0), flush=True)
        if window is not None:
            boards.close(window)
        # Let the board go and the connections settle before the next delivery.
        time.sleep(1.0)
        boards.mapped_boards()
        for other in idlers:
            other.ready_lines()


main()
