#!/usr/bin/env python3
"""Writes a fixed sniffer-service data set as static files: 45 hosts, a few heavy ones."""
import os
import sys

out = sys.argv[1]
hosts = []
for i in range(45):
    address = "198.18.0.%d" % (i + 1)
    if i < 8:
        send, recv = 120000 + 40000 * (8 - i), 250000 + 60000 * (8 - i)  # megabit rates: bold rows
    else:
        send, recv = 1500 + 20 * (45 - i), 3000 + 40 * (45 - i)  # kilobit rates: regular rows
    hosts.append((address, send, recv, 10**9 // (i + 1), 3 * 10**9 // (i + 1)))


def snapshot(scale=1.0):
    lines = ["Quorvel e2e data set, %d hosts" % len(hosts)]
    for a, s, r, ts, tr in hosts:
        lines.append("%s,%d,%d,%d,%d" % (a, int(s * scale), int(r * scale), ts, tr))
    lines.append("end of snapshot")
    return "\r\n".join(lines) + "\r\n"


os.makedirs(os.path.join(out, "average"), exist_ok=True)
with open(os.path.join(out, "index.html"), "w") as f:
    f.write(snapshot())
with open(os.path.join(out, "average", "1"), "w") as f:
    f.write(snapshot())
with open(os.path.join(out, "history"), "w") as f:
    for k in range(100):
        f.write(snapshot(0.5 + 0.5 * ((k % 20) / 20.0)))
        f.write("###\r\n")
with open(os.path.join(out, "ip"), "w") as f:
    for i, (a, *_rest) in enumerate(hosts):
        if i % 4 != 3:
            f.write("%s=host-%02d\r\n" % (a, i + 1))
