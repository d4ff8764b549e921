# SPDX-License-Identifier: MIT
"""fbweb's JSON API against the emulated device: every route and status,
the token and read-only rules, and refused requests leaving the device as it
was."""

import json
import os
import pty
import re
import select
import signal
import subprocess
import unittest

from fbweb_server import FBEMU, FBWEB, WORK, Server, bare_command, block_of, value_of

JSON = "application/json"


class ApiTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server("api")

    @classmethod
    def tearDownClass(cls):
        cls.assertEqual(unittest.TestCase(), cls.server.stop(signal.SIGINT), 0)

    def assertRefused(self, status, method, path, body=None, **kwargs):
        """The request gets `status` and an error message, and the network is unchanged."""
        before = self.server.network()
        reply = self.server.request(method, path, body, **kwargs)
        self.assertEqual(reply.status, status, reply.body)
        self.assertIsInstance(reply.json()["error"], str)
        self.assertEqual(self.server.network(), before)
        return reply.json()

    def test_network_with_etag(self):
        first = self.server.request("GET", "/api/network")
        self.assertEqual(first.status, 200)
        names = {b["name"] for f in first.json()["factories"] for b in f["blocks"]}
        self.assertTrue({"osc1", "osc2", "mix", "lowpass", "volume", "split", "speaker"} <= names)
        etag = first.headers["ETag"]
        again = self.server.request("GET", "/api/network", headers={"If-None-Match": etag})
        self.assertEqual((again.status, again.body, again.headers["ETag"]), (304, "", etag))
        self.server.request("PATCH", "/api/blocks/volume/properties", {"level": 0.25})
        changed = self.server.request("GET", "/api/network", headers={"If-None-Match": etag})
        self.assertEqual(changed.status, 200)
        self.assertNotEqual(changed.headers["ETag"], etag)

    def test_one_block(self):
        block = self.server.request("GET", "/api/blocks/lowpass").json()
        self.assertEqual(set(block), {"name", "properties", "inputs", "outputs"})
        self.assertEqual(block["inputs"], [{"name": "in", "connections": ["osc2.out"]}])
        self.assertRefused(404, "GET", "/api/blocks/no_such_block")
        self.assertRefused(404, "GET", "/api/no_such_route")

    def test_create(self):
        reply = self.server.request("POST", "/api/blocks", {"factory": "gain", "name": "created"})
        self.assertEqual(reply.status, 201, reply.body)
        self.assertGreater(reply.json()["ticket"], 7)
        self.assertIsNotNone(block_of(self.server.network(), "created"))
        self.assertRefused(409, "POST", "/api/blocks", {"factory": "gain", "name": "created"})
        self.assertRefused(409, "POST", "/api/blocks", {"factory": "no_such_factory", "name": "x"})
        self.assertRefused(400, "POST", "/api/blocks", {"factory": "gain"})
        self.assertRefused(400, "POST", "/api/blocks", {"factory": "gain", "name": 3})
        self.assertRefused(400, "POST", "/api/blocks", "{not json")

    def test_typed_property_writes(self):
        reply = self.server.request(
            "PATCH", "/api/blocks/lowpass/properties", {"cutoff": 800, "mode": "highpass", "order": 4}
        )
        self.assertEqual(reply.status, 200, reply.body)
        net = self.server.network()
        self.assertEqual(value_of(net, "lowpass", "cutoff"), 800.0)
        self.assertEqual(value_of(net, "lowpass", "mode")["index"], 1)
        self.assertEqual(value_of(net, "lowpass", "order"), 4)
        # Checked before anything is written: the good value next to a bad one stays unwritten.
        for body in ({"order": 300, "q": 2}, {"order": 1.5}, {"mode": "no_such_mode"}, {"cutoff": "loud"},
                     {"no_such_property": 1, "q": 2}):
            with self.subTest(body=body):
                self.assertRefused(422, "PATCH", "/api/blocks/lowpass/properties", body)
        self.assertRefused(404, "PATCH", "/api/blocks/no_such_block/properties", {"q": 1})
        self.assertRefused(400, "PATCH", "/api/blocks/lowpass/properties", "[1, 2]")
        self.assertRefused(400, "PATCH", "/api/blocks/lowpass/properties", '{"q": 1e999}')
        self.assertRefused(415, "PATCH", "/api/blocks/lowpass/properties", {"q": 1}, content_type="text/plain")
        self.assertRefused(415, "PATCH", "/api/blocks/lowpass/properties", {"q": 1},
                           content_type="application/x-www-form-urlencoded")

    def test_connect_and_disconnect(self):
        link = {"from": "osc1.out", "to": "mix.in4"}
        self.assertEqual(self.server.request("POST", "/api/connections", link).status, 201)
        self.assertIn("osc1.out", block_of(self.server.network(), "mix")["inputs"][3]["connections"])
        refusal = self.assertRefused(409, "POST", "/api/connections", {"from": "osc2.out", "to": "mix.in4"})
        self.assertIsInstance(refusal["code"], int)
        self.assertEqual(self.server.request("DELETE", "/api/connections", link).status, 200)
        self.assertEqual(block_of(self.server.network(), "mix")["inputs"][3]["connections"], [])
        self.assertRefused(409, "DELETE", "/api/connections", link)
        self.assertRefused(404, "POST", "/api/connections", {"from": "ghost.out", "to": "mix.in4"})
        self.assertRefused(400, "POST", "/api/connections", {"from": "osc1", "to": "mix.in4"})
        self.assertRefused(400, "DELETE", "/api/connections", {"from": "osc1.out"})

    def test_restore_plan_and_apply(self):
        document = self.server.network()
        for p in block_of(document, "osc1")["properties"]:
            if p["name"] == "amplitude":
                p["value"] = 0.5
        plan = self.server.request("POST", "/api/restore?dry_run=1", document)
        self.assertEqual(plan.status, 200, plan.body)
        self.assertEqual(plan.json(), {"plan": ["set osc1.amplitude 0.8 -> 0.5"], "applied": False})
        self.assertEqual(value_of(self.server.network(), "osc1", "amplitude"), 0.8)
        applied = self.server.request("POST", "/api/restore", document)
        self.assertEqual(applied.json(), {"plan": ["set osc1.amplitude 0.8 -> 0.5"], "applied": True})
        self.assertEqual(value_of(self.server.network(), "osc1", "amplitude"), 0.5)
        bad_value = json.loads(json.dumps(document))
        block_of(bad_value, "osc1")["properties"][0]["value"] = "very high"
        self.assertRefused(422, "POST", "/api/restore", bad_value)
        self.assertRefused(400, "POST", "/api/restore", {"factories": [], "extra": 1})
        self.assertRefused(400, "POST", "/api/restore", "")
        self.assertRefused(400, "POST", "/api/blocks", '{"factory": "gain", "name": "x", "n": -1e999}')

    def test_hostile_bodies_refused_without_a_crash(self):
        deep = "[" * 20000 + "1" + "]" * 20000
        document = '{"factories": [{"name": "biquad_filter", "blocks": [{"name": "lowpass", ' \
            '"properties": [{"name": "cutoff", "value": %s}]}]}]}'
        for method, path, body, why in (
            ("PATCH", "/api/blocks/lowpass/properties", '{"cutoff": %s}' % deep, "nested deeper than 32 levels"),
            ("POST", "/api/restore?dry_run=1", document % deep, "nested deeper than 32 levels"),
            ("POST", "/api/blocks", '{"factory": "gain", "name": "x", "n": %s}' % deep, "nested deeper"),
            ("PATCH", "/api/blocks/mix/properties", '{"channels": 7, "channels": 9}', 'key "channels" given twice'),
            ("POST", "/api/connections", '{"from": "osc1.out", "to": "mix.in4", "to": "mix.in3"}', '"to" given twice'),
            ("POST", "/api/restore", '{"factories": [], "factories": []}', 'key "factories" given twice'),
        ):
            with self.subTest(method=method, path=path, why=why):
                self.assertIn(why, self.assertRefused(400, method, path, body)["error"])
        # At the limit a value is read (and refused by its type); the server still answers.
        self.assertRefused(422, "POST", "/api/restore", document % ("[" * 25 + "1" + "]" * 25))
        self.assertEqual(self.server.request("GET", "/api/blocks/lowpass").status, 200)

    def test_body_limit(self):
        limit = 1024 * 1024
        at_limit = '{"cutoff": [%s]}' % ",".join(["0"] * ((limit - 14) // 2))
        at_limit += " " * (limit - len(at_limit))
        self.assertRefused(422, "PATCH", "/api/blocks/lowpass/properties", at_limit)
        self.assertRefused(413, "PATCH", "/api/blocks/lowpass/properties", at_limit + " ")

    def test_dry_run_in_any_form_but_0_or_false(self):
        document = self.server.network()
        block_of(document, "volume")["properties"][0]["value"] = 0.125
        before = value_of(self.server.network(), "volume", "level")
        for query in ("?dry_run", "?dry_run=", "?dry_run=1", "?dry_run=true", "?x=1&dry_run"):
            with self.subTest(query=query):
                reply = self.server.request("POST", "/api/restore" + query, document)
                self.assertEqual((reply.status, reply.json()["applied"]), (200, False), reply.body)
                self.assertEqual(value_of(self.server.network(), "volume", "level"), before)
        for query in ("?dry_run=yes", "?dry_run=2", "?dry_run=False"):
            with self.subTest(query=query):
                self.assertIn("dry_run", self.assertRefused(400, "POST", "/api/restore" + query, document)["error"])
        applied = self.server.request("POST", "/api/restore?dry_run=false", document)
        self.assertEqual((applied.status, applied.json()["applied"]), (200, True), applied.body)
        self.assertEqual(value_of(self.server.network(), "volume", "level"), 0.125)

    def test_enum_values_as_a_document_gives_them(self):
        path = "/api/blocks/lowpass/properties"
        choices = value_of(self.server.network(), "lowpass", "mode")["choices"]
        for value, index in (({"index": 1}, 1), ({"choices": choices, "index": 0}, 0), ("highpass", 1), (0, 0)):
            with self.subTest(value=value):
                reply = self.server.request("PATCH", path, {"mode": value})
                self.assertEqual(reply.status, 200, reply.body)
                self.assertEqual(value_of(self.server.network(), "lowpass", "mode")["index"], index)
        # A float is refused whether or not the device holds that index.
        for value in (0.0, 1.0, {"index": 0.0}):
            with self.subTest(value=value):
                self.assertRefused(422, "PATCH", path, {"mode": value})
        self.assertRefused(422, "PATCH", path, {"mode": {"choices": ["a", "b"], "index": 1}})

    def test_page_is_served(self):
        page = self.server.request("GET", "/")
        self.assertEqual(page.status, 200)
        self.assertIn('<script src="app.js">', page.body)
        self.assertIn("text/javascript", self.server.request("GET", "/app.js").headers["Content-Type"])
        self.assertNotIn("Access-Control-Allow-Origin", page.headers)
        # The size budget of the page's files.
        total = sum(len(self.server.request("GET", path).body.encode()) for path in ("/", "/app.js", "/app.css"))
        self.assertLessEqual(total, 120 * 1024)

    def test_other_host_names_refused(self):
        # A site that points its own name at 127.0.0.1 gets nothing.
        self.assertRefused(403, "GET", "/api/network", headers={"Host": "evil.example:%d" % self.server.port})
        self.assertRefused(403, "GET", "/", headers={"Host": "evil.example"})
        for host in ("localhost:9000", "127.0.0.1", "[::1]:8080"):
            self.assertEqual(self.server.request("GET", "/api/blocks/osc1", headers={"Host": host}).status, 200)

    def test_request_log(self):
        self.server.request("GET", "/api/blocks/osc1?token=secret")
        self.assertTrue(any(line.endswith("GET /api/blocks/osc1 200") for line in self.server.lines))
        self.assertFalse(any("secret" in line for line in self.server.lines))


class TokenTest(unittest.TestCase):
    token = "s3cret-token-value"

    def token_file(self, mode):
        path = os.path.join(WORK, "token-%o" % mode)
        with open(path, "w") as f:
            f.write(self.token + "\n")
        os.chmod(path, mode)
        return path

    def test_every_api_request_needs_the_token(self):
        with Server("token", "--token-file", self.token_file(0o600)) as server:
            # Standard output is a pipe here, as under a unit: the link names the file, not the token.
            self.assertEqual(server.link, "fbweb: open %s/?token=TOKEN with the token in %s"
                             % (server.base, self.token_file(0o600)))
            before = server.request("GET", "/api/network", token=self.token).json()
            for token in (None, "wrong", self.token + "x", self.token[:-1]):
                with self.subTest(token=token):
                    for method, path, body in (("GET", "/api/network", None),
                                               ("PATCH", "/api/blocks/osc1/properties", {"frequency": 1})):
                        reply = server.request(method, path, body, token=token)
                        self.assertEqual(reply.status, 401)
                        self.assertEqual(reply.headers["WWW-Authenticate"], "Bearer")
            self.assertEqual(server.request("GET", "/api/network", token=self.token).json(), before)
            written = server.request("PATCH", "/api/blocks/osc1/properties", {"frequency": 1}, token=self.token)
            self.assertEqual(written.status, 200)
            self.assertEqual(server.request("GET", "/").status, 200)  # the page asks for the token itself

    def test_token_link_only_on_a_terminal(self):
        master, slave = pty.openpty()
        command = [FBEMU, "--state", os.path.join(WORK, "tty.json"), "--fresh", "run", "--",
                   FBWEB, "--listen", "127.0.0.1:0", "--token-file", self.token_file(0o600)]
        process = subprocess.Popen(command, stdout=slave, stderr=subprocess.DEVNULL)
        os.close(slave)
        out = b""
        try:
            while out.count(b"\n") < 2 and select.select([master], [], [], 30)[0]:
                out += os.read(master, 4096)
        finally:
            process.send_signal(signal.SIGTERM)
            process.wait(timeout=30)
            os.close(master)
        self.assertRegex(out.decode(), r"fbweb: open http://127\.0\.0\.1:\d+/\?token=%s\r?\n" % self.token)

    def test_refuses_to_start(self):
        cases = (
            (["--token-file", self.token_file(0o644)], "group or others"),
            (["--token-file", os.path.join(WORK, "no-such-token")], "No such file"),
            (["--listen", "0.0.0.0:0"], "--token-file or --read-only"),
            (["--listen", "127.0.0.1:99999"], "port"),
            (["--frobnicate"], "unknown option"),
        )
        for args, message in cases:
            with self.subTest(args=args):
                run = subprocess.run(bare_command(args), capture_output=True, text=True, timeout=60)
                self.assertEqual(run.returncode, 1)
                self.assertIn(message, run.stderr)
                self.assertEqual(run.stdout, "")

    def test_read_only(self):
        with Server("read-only", "--read-only", "--no-log") as server:
            before = server.network()
            for method, path, body in (("PATCH", "/api/blocks/osc1/properties", {"frequency": 1}),
                                       ("POST", "/api/blocks", {"factory": "gain", "name": "g"}),
                                       ("POST", "/api/connections", {"from": "osc1.out", "to": "mix.in4"}),
                                       ("POST", "/api/restore", before)):
                self.assertEqual(server.request(method, path, body).status, 403)
            self.assertEqual(server.network(), before)
            self.assertEqual(server.lines, [])


class ProgramTest(unittest.TestCase):
    def test_device_missing(self):
        with Server("no-device", device=False) as server:
            reply = server.request("GET", "/api/network")
            self.assertEqual(reply.status, 503)
            self.assertIn("/dev/functionblocks", reply.json()["error"])
            self.assertEqual(server.request("GET", "/api/blocks/osc1").status, 503)

    def test_help_and_version(self):
        for option, text in (("--help", "usage: fbweb"), ("--version", "fbweb ")):
            run = subprocess.run(bare_command([option]), capture_output=True, text=True, timeout=60)
            self.assertEqual(run.returncode, 0)
            self.assertTrue(run.stdout.startswith(text))

    def test_man_page_and_completion_know_every_option(self):
        source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        help_text = subprocess.run(bare_command(["--help"]), capture_output=True, text=True, timeout=60).stdout
        options = sorted(set(re.findall(r"--[a-z][a-z-]+", help_text)))
        with open(os.path.join(source, "docs", "fbweb.1")) as f:
            page = f.read().replace("\\-", "-")
        script = "source %s; COMP_WORDS=(fbweb --); COMP_CWORD=1; _fbweb; echo ${COMPREPLY[*]}" % os.path.join(
            source, "completion", "fbweb")
        completed = subprocess.run(["bash", "-c", script], capture_output=True, text=True, timeout=60).stdout.split()
        for option in options:
            self.assertIn(option, page)
            self.assertIn(option, completed)

    def test_stops_cleanly_on_sigterm(self):
        server = Server("stop")
        self.assertEqual(server.stop(signal.SIGTERM), 0)
        self.assertEqual(server.lines[-1], "fbweb: stopped")


if __name__ == "__main__":
    unittest.main(verbosity=2)
