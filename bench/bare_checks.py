#!/usr/bin/python3
"""The floor for bench/mailboxes: a bare client checking each mailbox, first each alone, then all
at once. pop3 reads every message (USER, PASS, STAT, then every RETR in one write); imap counts
the unseen (LOGIN, STATUS and LOGOUT in one write). Prints "alone SECONDS" for the slowest alone
(median of RUNS) and "together SECONDS" (median).

Usage: bare_checks.py pop3|imap HOST PORT PASSWORD RUNS USER...
"""
import socket
import statistics
import sys
import threading
import time


def count(host, port, user, password):
    with socket.create_connection((host, port)) as sock, sock.makefile("rb") as lines:
        lines.readline()
        sock.sendall(b"a LOGIN %s %s\r\nb STATUS INBOX (UNSEEN)\r\nc LOGOUT\r\n"
                     % (user.encode(), password.encode()))
        while not lines.readline().startswith(b"c "):
            pass


def walk(host, port, user, password):
    with socket.create_connection((host, port)) as sock, sock.makefile("rb") as lines:
        lines.readline()
        sock.sendall(b"USER %s\r\nPASS %s\r\nSTAT\r\n" % (user.encode(), password.encode()))
        lines.readline()
        lines.readline()
        count = int(lines.readline().split()[1])
        sock.sendall(b"".join(b"RETR %d\r\n" % n for n in range(1, count + 1)))
        for _ in range(count):
            lines.readline()
            while lines.readline() != b".\r\n":
                pass
        sock.sendall(b"QUIT\r\n")
        lines.readline()


def timed(work):
    start = time.monotonic()
    work()
    return time.monotonic() - start


def together(check, host, port, users, password):
    threads = [threading.Thread(target=check, args=(host, port, user, password)) for user in users]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()


def main():
    protocol, host, port, password, runs, *users = sys.argv[1:]
    check = walk if protocol == "pop3" else count
    port, runs = int(port), int(runs)
    slowest = max(statistics.median(timed(lambda: check(host, port, user, password))
                                    for _ in range(runs)) for user in users)
    both = statistics.median(timed(lambda: together(check, host, port, users, password))
                             for _ in range(runs))
    print("alone %.3f" % slowest)
    print("together %.3f" % both)


main()
