#!/usr/bin/env python3
"""CPU time of shell commands run in turn, one run of each per round.

    cpu_interleaved.py [--runs N] [--warmup W] COMMAND...

Prints one line per command: the mean and the median CPU time of the
process tree it starts (user + system, from wait4's resource usage), in
milliseconds. The commands take turns (A B C A B C ...), so that a change
in the machine's load during the measurement (other clients of the lab's
controller, a hypervisor taking the CPU away) falls on all of them alike;
timed one command after the other, the drift between the blocks was larger
than the difference measured. Output of the commands is discarded.
"""
import argparse
import os
import statistics


def cpu_ms(command):
    pid = os.fork()
    if pid == 0:
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
        os.execvp("sh", ["sh", "-c", command])
    _, _, usage = os.wait4(pid, 0)
    return (usage.ru_utime + usage.ru_stime) * 1000


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--warmup", type=int, default=2)
    parser.add_argument("commands", nargs="+")
    args = parser.parse_args()
    times = [[] for _ in args.commands]
    for round_ in range(args.warmup + args.runs):
        for i, command in enumerate(args.commands):
            spent = cpu_ms(command)
            if round_ >= args.warmup:
                times[i].append(spent)
    for spent in times:
        print("%.1f %.1f" % (statistics.mean(spent), statistics.median(spent)))


if __name__ == "__main__":
    main()
