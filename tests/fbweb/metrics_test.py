# SPDX-License-Identifier: MIT
"""fbweb's /metrics: who may scrape, promtool's check of the exposition, and
Debian's Prometheus server scraping it on 127.0.0.1 while the network is
changed with patchbay and restored with fbrestore."""

import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest
import urllib.parse
import urllib.request

from fbweb_server import FBEMU, WORK, Server

PATCHBAY = os.environ["PATCHBAY"]
FBDUMP = os.environ["FBDUMP"]
FBRESTORE = os.environ["FBRESTORE"]
PROMTOOL = shutil.which("promtool")
PROMETHEUS = shutil.which("prometheus")
API_TOKEN = "api-token-for-the-metrics-test"
SCRAPE_TOKEN = "scrape-token-for-the-metrics-test"


def secret(name, text):
    path = os.path.join(WORK, name)
    with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "w") as f:
        f.write(text + "\n")
    return path


def on_device(state, *command, stdin=None):
    """Runs a program against the emulated device of `state`."""
    return subprocess.run([FBEMU, "--state", state, "run", "--", *command], input=stdin,
                          capture_output=True, text=True, check=True, timeout=60).stdout


def samples(exposition):
    """{'name{labels}': value} of the exposition's sample lines."""
    out = {}
    for line in exposition.splitlines():
        if line and not line.startswith("#"):
            key, value = line.rsplit(" ", 1)
            out[key] = float(value)
    return out


class MetricsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(WORK, exist_ok=True)
        # The document to match: the network the server's fresh device starts with.
        scratch = os.path.join(WORK, "scratch.json")
        cls.document = os.path.join(WORK, "network.json")
        with open(cls.document, "w") as out:
            subprocess.run([FBEMU, "--state", scratch, "--fresh", "run", "--", FBDUMP], stdout=out, check=True,
                           timeout=60)
        cls.server = Server("metrics", "--read-only", "--token-file", secret("api.token", API_TOKEN),
                            "--metrics-token", secret("scrape.token", SCRAPE_TOKEN), "--match", cls.document)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def scrape(self, token=SCRAPE_TOKEN):
        reply = self.server.request("GET", "/metrics", token=token)
        self.assertEqual(reply.status, 200, reply.body)
        return reply.body

    def test_scrape_token_or_api_token_and_nothing_else(self):
        self.assertTrue(self.server.request("GET", "/metrics", token=API_TOKEN).headers["Content-Type"]
                        .startswith("text/plain; version=0.0.4"))
        for token in (None, "wrong", SCRAPE_TOKEN + "x"):
            with self.subTest(token=token):
                self.assertEqual(self.server.request("GET", "/metrics", token=token).status, 401)
        # The scrape token opens nothing else.
        self.assertEqual(self.server.request("GET", "/api/network", token=SCRAPE_TOKEN).status, 401)

    def test_exposition_is_clean_and_shows_the_network(self):
        network = self.server.request("GET", "/api/network", token=API_TOKEN).json()
        text = self.scrape()
        check = subprocess.run([PROMTOOL, "check", "metrics"], input=text, capture_output=True, text=True)
        self.assertEqual((check.returncode, check.stdout + check.stderr), (0, ""), text)
        got = samples(text)
        self.assertEqual(got["patchbay_device_up"], 1)
        self.assertEqual(got['patchbay_blocks{factory="sine_osc"}'], 2)
        self.assertEqual(got["patchbay_connections"], sum(len(port["connections"]) for f in network["factories"]
                                                          for b in f["blocks"] for port in b["outputs"]))
        self.assertEqual(got['patchbay_property_value{block="volume",property="level"}'], 0.5)
        self.assertEqual(got['patchbay_property_value{block="osc1",property="waveform"}'], 0)
        self.assertEqual(got['patchbay_property_choice_info{block="osc1",property="waveform",choice="sine"}'], 1)
        self.assertEqual((got["patchbay_network_matches"], got["patchbay_network_differences"]), (1, 0))
        # The walk that answered this scrape is counted in the next one.
        walks = got.get('patchbay_exchanges_total{command="list_factories"}', 0)
        self.assertEqual(samples(self.scrape())['patchbay_exchanges_total{command="list_factories"}'], walks + 1)
        self.assertGreater(got['patchbay_exchange_duration_seconds_bucket{le="+Inf"}'], 0)

    def test_a_refused_command_counts_as_a_device_error(self):
        errors = 'patchbay_device_errors_total{command="list_func_props"}'
        before = samples(self.scrape()).get(errors, 0)
        self.assertEqual(self.server.request("GET", "/api/blocks/nosuch", token=API_TOKEN).status, 404)
        after = samples(self.scrape())
        self.assertEqual(after[errors], before + 1)
        self.assertGreater(after['patchbay_exchanges_total{command="list_func_props"}'], after[errors])

    def test_names_that_need_escaping_and_every_kind_of_value(self):
        catalog = os.path.join(os.path.dirname(os.path.abspath(__file__)), "odd_names_network.json")
        with Server("metrics-odd", catalog=catalog) as server:
            text = server.request("GET", "/metrics").body
        check = subprocess.run([PROMTOOL, "check", "metrics"], input=text, capture_output=True, text=True)
        self.assertEqual((check.returncode, check.stdout + check.stderr), (0, ""), text)
        got = samples(text)
        self.assertEqual(got['patchbay_blocks{factory="odd \\"f\\""}'], 1)
        block = 'block="b\\\\1\\""'
        self.assertEqual(got[f'patchbay_property_value{{{block},property="x"}}'], 1.5)
        self.assertEqual(got[f'patchbay_property_value{{{block},property="on"}}'], 1)
        self.assertEqual(got[f'patchbay_property_value{{{block},property="big"}}'], 2.0 ** 64 - 1)
        self.assertEqual(got[f'patchbay_property_value{{{block},property="pick"}}'], 1)
        self.assertEqual(got[f'patchbay_property_choice_info{{{block},property="pick",choice="c\\"d"}}'], 1)
        self.assertNotIn("label", text)  # text has no number to show

    def test_a_missing_device_is_down(self):
        with Server("metrics-nodevice", device=False) as server:
            reply = server.request("GET", "/metrics")
            self.assertEqual(reply.status, 200, reply.body)
            self.assertEqual(samples(reply.body)["patchbay_device_up"], 0)

    def test_prometheus_follows_a_change_and_the_drift(self):
        with tempfile.TemporaryDirectory(dir=WORK) as tmp, Prometheus(tmp, self.server.port) as prometheus:
            level = 'patchbay_property_value{block="volume",property="level"}'
            prometheus.wait_for(level, 0.5)
            prometheus.wait_for("patchbay_network_matches", 1)
            on_device(self.server.state, PATCHBAY, "-c", "test", stdin="8\nvolume\nlevel\nfloat\n0.8\n11\n")
            prometheus.wait_for(level, 0.8)
            prometheus.wait_for("patchbay_network_matches", 0)
            on_device(self.server.state, FBRESTORE, self.document)
            prometheus.wait_for("patchbay_network_matches", 1)
            prometheus.wait_for(level, 0.5)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Prometheus:
    """Debian's Prometheus on a free 127.0.0.1 port scraping fbweb every second; stopped on exit."""

    def __init__(self, directory, fbweb_port):
        config = os.path.join(directory, "prometheus.yml")
        with open(config, "w") as f:
            json.dump({"global": {"scrape_interval": "1s", "scrape_timeout": "1s"},
                       "scrape_configs": [{"job_name": "patchbay",
                                           "authorization": {"credentials_file": os.path.join(WORK, "scrape.token")},
                                           "static_configs": [{"targets": [f"127.0.0.1:{fbweb_port}"]}]}]}, f)
        self.base = f"http://127.0.0.1:{free_port()}"
        self.log = open(os.path.join(directory, "prometheus.log"), "w")
        self.process = subprocess.Popen(
            [PROMETHEUS, f"--config.file={config}", f"--storage.tsdb.path={directory}/data",
             f"--web.listen-address={self.base[len('http://'):]}"], stdout=self.log, stderr=subprocess.STDOUT)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()

    def query(self, expression):
        url = self.base + "/api/v1/query?" + urllib.parse.urlencode({"query": expression})
        with urllib.request.urlopen(url, timeout=5) as reply:
            return [float(r["value"][1]) for r in json.load(reply)["data"]["result"]]

    def wait_for(self, expression, value, seconds=30):
        """Polls the server's query API until `expression` has exactly `value`."""
        deadline = time.monotonic() + seconds
        got = None
        while time.monotonic() < deadline:
            assert self.process.poll() is None, "prometheus stopped"
            try:
                got = self.query(expression)
                if got == [value]:
                    return
            except OSError:
                pass  # not listening yet
            time.sleep(0.25)
        raise AssertionError(f"{expression}: {got}, not [{value}] after {seconds} s")


if __name__ == "__main__":
    unittest.main(verbosity=2)
