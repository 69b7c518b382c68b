#!/usr/bin/python3
"""The floor for bench/mailboxes: a bare client checking each mailbox, first each alone, then all
at once. pop3 reads every message (USER, PASS, STAT, then every RETR in one write); pop3-walk
asks for each message what Breezel's walk asks (TOP n 0, LIST n, RETR n), all in one write;
imap counts the unseen (LOGIN, STATUS and LOGOUT in one write). Prints "alone SECONDS" for the slowest alone
(median of RUNS) and "together SECONDS" (median).

Usage: bare_checks.py pop3|pop3-walk|imap HOST PORT PASSWORD RUNS USER...
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


def walk(host, port, user, password, each=(b"RETR %d\r\n",)):
    with socket.create_connection((host, port)) as sock, sock.makefile("rb") as lines:
        lines.readline()
        sock.sendall(b"USER %s\r\nPASS %s\r\nSTAT\r\n" % (user.encode(), password.encode()))
        lines.readline()
        lines.readline()
        count = int(lines.readline().split()[1])
        sock.sendall(b"".join(command % n for n in range(1, count + 1) for command in each))
        for _ in range(count):
            for command in each:
                # LIST n answers in one line; TOP and RETR end with a lone dot.
                lines.readline()
                if not command.startswith(b"LIST"):
                    while lines.readline() != b".\r\n":
                        pass
        sock.sendall(b"QUIT\r\n")
        lines.readline()


def walk_as_breezel(host, port, user, password):
    walk(host, port, user, password, (b"TOP %d 0\r\n", b"LIST %d\r\n", b"RETR %d\r\n"))


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
    check = {"pop3": walk, "pop3-walk": walk_as_breezel, "imap": count}[protocol]
    port, runs = int(port), int(runs)
    slowest = max(statistics.median(timed(lambda: check(host, port, user, password))
                                    for _ in range(runs)) for user in users)
    both = statistics.median(timed(lambda: together(check, host, port, users, password))
                             for _ in range(runs))
    print("alone %.3f" % slowest)
    print("together %.3f" % both)


main()
