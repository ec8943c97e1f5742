#!/usr/bin/env python3
"""Scrapes a demo service with Debian's Prometheus on loopback and checks what Prometheus stored
against what the service itself reports. Usage: prometheus_scrape.py SNIFFER_SERVICE"""

import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

HOST = "backup-nas"
ADDRESS = "192.0.2.1"


def fail(message):
    print("prometheus_scrape: " + message, file=sys.stderr)
    sys.exit(1)


def get(url, timeout=5):
    with urllib.request.urlopen(url, timeout=timeout) as response:
        return response.read().decode("utf-8")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def received_on_root(service):
    """Field 4 (total received) of the host's line on "/"."""
    for line in get(service + "/").splitlines():
        fields = line.split(",")
        if fields[0] == ADDRESS:
            return int(fields[4])
    fail("no line for %s on /" % ADDRESS)


def query(prometheus, expression):
    url = prometheus + "/api/v1/query?" + urllib.parse.urlencode({"query": expression})
    answer = json.loads(get(url))
    if answer.get("status") != "success":
        fail("query %s: %s" % (expression, answer))
    return answer["data"]["result"]


def main():
    if len(sys.argv) != 2:
        fail("usage: prometheus_scrape.py SNIFFER_SERVICE")
    for tool in ("prometheus", "promtool"):
        if not shutil.which(tool):
            fail(tool + " is missing: run scripts/install-deps")
    work = tempfile.mkdtemp(prefix="qtm-prometheus-")
    processes = []
    try:
        service_process = subprocess.Popen(
            [sys.argv[1], "--demo", "--listen", "127.0.0.1:0"], stdout=subprocess.PIPE, text=True)
        processes.append(service_process)
        line = service_process.stdout.readline()
        match = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
        if not match:
            fail("the service did not start: " + line)
        service = "http://127.0.0.1:" + match.group(1)

        metrics = get(service + "/metrics")
        check = subprocess.run(["promtool", "check", "metrics"], input=metrics, text=True, capture_output=True)
        if check.returncode != 0 or check.stdout.strip() or check.stderr.strip():
            fail("promtool check metrics: %s%s" % (check.stdout, check.stderr))

        port = free_port()
        config = os.path.join(work, "prometheus.yml")
        with open(config, "w") as f:
            f.write(
                "global:\n"
                "  scrape_interval: 1s\n"
                "  evaluation_interval: 1s\n"
                "scrape_configs:\n"
                "  - job_name: quorvel-sniffer\n"
                "    static_configs:\n"
                "      - targets: ['127.0.0.1:%s']\n"
                "        labels:\n"
                "          segment: demo\n" % match.group(1))
        before = received_on_root(service)
        log = open(os.path.join(work, "prometheus.log"), "w")
        processes.append(subprocess.Popen(
            ["prometheus", "--config.file=" + config, "--storage.tsdb.path=" + os.path.join(work, "data"),
             "--web.listen-address=127.0.0.1:%d" % port], stdout=log, stderr=subprocess.STDOUT))
        prometheus = "http://127.0.0.1:%d" % port

        deadline = time.monotonic() + 60
        while True:
            try:
                result = query(prometheus, 'quorvel_sniffer_host_received_bytes_total{address="%s"}' % ADDRESS)
                if result:
                    break
            except (OSError, ValueError):
                pass
            if time.monotonic() > deadline:
                with open(os.path.join(work, "prometheus.log")) as f:
                    fail("no scrape within 60 s; Prometheus said:\n" + f.read()[-3000:])
            time.sleep(0.5)
        stored = int(float(result[0]["value"][1]))
        labels = result[0]["metric"]
        after = received_on_root(service)

        if labels.get("name") != HOST or labels.get("segment") != "demo":
            fail("labels of the stored series: %s" % labels)
        if not 0 < before <= stored <= after:
            fail("stored %d received bytes, but / said %d before and %d after the scrape" % (stored, before, after))

        drops = query(prometheus, "quorvel_sniffer_capture_kernel_dropped_packets_total")
        served = re.search(r"^quorvel_sniffer_capture_kernel_dropped_packets_total (\d+)$",
                           get(service + "/metrics"), re.M)
        if len(drops) != 1 or not served or int(float(drops[0]["value"][1])) != int(served.group(1)):
            fail("drop counter stored %s, service says %s" % (drops, served and served.group(1)))

        # The README's queries: the ten busiest receivers over every scraped segment. The rate needs
        # a second scrape.
        for expression in (
                "topk(10, quorvel_sniffer_host_receive_bytes_per_second)",
                "topk(10, sum by (segment, address, name) (rate(quorvel_sniffer_host_received_bytes_total[5m])))"):
            deadline = time.monotonic() + 20
            while len(query(prometheus, expression)) != 10:
                if time.monotonic() > deadline:
                    fail("%s gave %s" % (expression, query(prometheus, expression)))
                time.sleep(0.5)

        print("prometheus_scrape: %s received %d bytes (/ said %d..%d), kernel drops %s" %
              (ADDRESS, stored, before, after, drops[0]["value"][1]))
    finally:
        for p in reversed(processes):
            p.terminate()
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
