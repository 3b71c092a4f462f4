"""The panel's request checks at the protocol level, against the real controller."""
import http.client
import json
import os
import signal
import socket
import ssl
import subprocess
import time
import unittest

from wsproto import ConnectionType, WSConnection
from wsproto.events import AcceptConnection, Message, Request

from panel_hall import SCENE_3, Hall, controller_binary, state_line

BINARY = controller_binary()
EVIL = "http://evil.example"


def request(hall, method, path, body=None, origin=None, cookie=None, headers=None, context=None):
    if context:
        connection = http.client.HTTPSConnection("127.0.0.1", hall.port, timeout=5, context=context)
    else:
        connection = http.client.HTTPConnection("127.0.0.1", hall.port, timeout=5)
    sent = dict(headers or {})
    if origin:
        sent["Origin"] = origin
    if cookie:
        sent["Cookie"] = cookie
    connection.request(method, path, body=body, headers=sent)
    response = connection.getresponse()
    data = response.read()
    connection.close()
    return response, data


def login(hall, password="abc", **kw):
    body = json.dumps({"uzytkownik": "jan", "haslo": password})
    return request(hall, "POST", "/logowanie", body, origin=kw.pop("origin", hall.origin), **kw)


def session_cookie(response):
    return response.getheader("Set-Cookie").split(";")[0]


def handshake(hall, origin, cookie=None, path="/stan", protocol="hala"):
    """The status line the panel answers a WebSocket upgrade with."""
    lines = [f"GET {path} HTTP/1.1", f"Host: 127.0.0.1:{hall.port}", "Upgrade: websocket", "Connection: Upgrade",
             "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==", "Sec-WebSocket-Version: 13", f"Origin: {origin}"]
    lines += [f"Sec-WebSocket-Protocol: {protocol}"] if protocol else []
    lines += [f"Cookie: {cookie}"] if cookie else []
    with socket.create_connection(("127.0.0.1", hall.port), timeout=5) as s:
        s.sendall(("\r\n".join(lines) + "\r\n\r\n").encode())
        answer = s.recv(4096).decode("latin-1")
    return answer.split("\r\n")[0]


class RequestChecks(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.hall = Hall(BINARY)
        cls.hall.start()
        cls.cookie = session_cookie(login(cls.hall)[0])

    @classmethod
    def tearDownClass(cls):
        cls.hall.close()

    def test_files_served_and_nothing_else(self):
        for path, status, kind in [("/", 200, "text/html"), ("/panel.js", 200, "text/javascript"),
                                   ("/panel.css", 200, "text/css"), ("/jan", 404, None), ("/index.html", 404, None),
                                   ("/../konfigurator/jan", 404, None), ("/sterownik.conf", 404, None)]:
            with self.subTest(path=path):
                response, _ = request(self.hall, "GET", path)
                self.assertEqual(response.status, status)
                self.assertIn("frame-ancestors 'none'", response.getheader("Content-Security-Policy"))
                self.assertEqual(response.getheader("X-Content-Type-Options"), "nosniff")
                if kind:
                    self.assertTrue(response.getheader("Content-Type").startswith(kind))

    def test_commands_need_the_own_origin_and_a_session(self):
        scene = json.dumps({"polecenie": "scena", "scena": 3})
        rows = [("no origin", None, self.cookie, scene, {}, 403),
                ("another site", EVIL, self.cookie, scene, {}, 403),
                ("another scheme", self.hall.origin.replace("http:", "https:"), self.cookie, scene, {}, 403),
                ("no session", self.hall.origin, None, scene, {}, 401),
                ("a forged session", self.hall.origin, "sesja=" + "0" * 32, scene, {}, 401),
                ("a body too long", self.hall.origin, self.cookie, " " * 5000 + scene, {}, 413),
                ("a length too long", self.hall.origin, self.cookie, scene, {"Content-Length": "99999"}, 413),
                ("not a command", self.hall.origin, self.cookie, "scena=3", {}, 400),
                ("scene 9", self.hall.origin, self.cookie, '{"polecenie":"scena","scena":9}', {}, 400)]
        for name, origin, cookie, body, headers, status in rows:
            with self.subTest(name):
                response, _ = request(self.hall, "POST", "/polecenie", body, origin, cookie, headers)
                self.assertEqual(response.status, status)
        self.assertEqual(self.hall.read_state(), state_line(set()), "a refused command switched the hall")
        response, _ = request(self.hall, "POST", "/polecenie", scene, self.hall.origin, self.cookie)
        self.assertEqual(response.status, 204)
        self.hall.wait_for(lambda: self.hall.read_state() == state_line(SCENE_3), what="scene 3")
        # Logged once the file is written: after it.
        self.hall.wait_for(lambda: "panel (jan): polecenie: scena 3" in self.hall.log(), what="the command logged")

    def test_login_cookie_and_origin(self):
        response, _ = login(self.hall, origin=EVIL)
        self.assertEqual(response.status, 403)
        response, body = login(self.hall)
        self.assertEqual((response.status, json.loads(body)["uzytkownik"]), (200, "jan"))
        flags = response.getheader("Set-Cookie")
        for flag in ["HttpOnly", "SameSite=Strict"]:
            self.assertIn(flag, flags)
        self.assertNotIn("Secure", flags)

    def test_live_view_handshake(self):
        rows = [("own page with a session", self.hall.origin, self.cookie, "/stan", "hala", True),
                ("another site", EVIL, self.cookie, "/stan", "hala", False),
                ("no session", self.hall.origin, None, "/stan", "hala", False),
                ("another path", self.hall.origin, self.cookie, "/inna", "hala", False),
                ("no subprotocol", self.hall.origin, self.cookie, "/stan", None, False)]
        for name, origin, cookie, path, protocol, accepted in rows:
            with self.subTest(name):
                status = handshake(self.hall, origin, cookie, path, protocol)
                self.assertEqual(" 101 " in status + " ", accepted, status)

    def test_oversized_headers_refused_and_service_goes_on(self):
        try:
            response, _ = request(self.hall, "GET", "/", headers={"X-Big": "x" * 20000})
            self.assertGreaterEqual(response.status, 400)
        except (ConnectionError, http.client.HTTPException):
            pass  # closed: as good a refusal
        self.assertEqual(request(self.hall, "GET", "/")[0].status, 200)


class Sessions(unittest.TestCase):
    def setUp(self):
        self.hall = Hall(BINARY)
        self.hall.start()

    def tearDown(self):
        self.hall.close()

    def test_five_wrong_passwords_make_the_address_wait(self):
        statuses = [login(self.hall, "zle")[0].status for _ in range(5)]
        self.assertEqual(statuses, [401] * 5)
        self.assertEqual(login(self.hall)[0].status, 429)
        self.hall.wait_for(lambda: "5 błędnych haseł z adresu 127.0.0.1" in self.hall.log(), what="the wait logged")

    def test_session_outlives_a_restart_and_ends_at_logout(self):
        cookie = session_cookie(login(self.hall)[0])
        self.hall.stop(signal.SIGKILL)
        self.hall.start()
        self.assertEqual(request(self.hall, "GET", "/sesja", cookie=cookie)[0].status, 200)
        self.assertEqual(request(self.hall, "POST", "/wylogowanie", "", self.hall.origin, cookie)[0].status, 204)
        body = json.dumps({"polecenie": "wylacz"})
        self.assertEqual(request(self.hall, "POST", "/polecenie", body, self.hall.origin, cookie)[0].status, 401)
        self.assertNotIn(" 101 ", handshake(self.hall, self.hall.origin, cookie) + " ")

    def test_preview_watches_never_commands(self):
        self.assertEqual(request(self.hall, "GET", "/sesja")[0].status, 401)
        with open(os.path.join(self.hall.work, "sterownik.conf"), "a") as f:
            f.write("panel_podglad tak\n")
        self.hall.process.send_signal(signal.SIGHUP)
        self.hall.wait_for(lambda: "wczytano ponownie" in self.hall.log(), what="reload")
        self.hall.wait_for(lambda: request(self.hall, "GET", "/sesja")[0].status == 200, what="preview")
        self.assertIn(" 101 ", handshake(self.hall, self.hall.origin) + " ")
        body = json.dumps({"polecenie": "wylacz"})
        self.assertEqual(request(self.hall, "POST", "/polecenie", body, self.hall.origin)[0].status, 401)


class LargestMessage(unittest.TestCase):
    def test_longest_hall_name_arrives_whole_and_a_question_is_answered(self):
        # The hall's name, as long as sterownik.conf holds, makes a message far larger than any panel buffer.
        hall, name = Hall(BINARY), "h" * 60000
        hall.put("sterownik.conf", f"nazwa {name}\nbroker brak\npanel 127.0.0.1:{hall.port}\n".encode())
        ws, got, text = WSConnection(ConnectionType.CLIENT), [], ""
        try:
            hall.start()
            headers = [(b"origin", hall.origin.encode()), (b"cookie", session_cookie(login(hall)[0]).encode())]
            with socket.create_connection(("127.0.0.1", hall.port), timeout=5) as s:
                s.sendall(ws.send(Request(host=f"127.0.0.1:{hall.port}", target="/stan", subprotocols=["hala"],
                                          extra_headers=headers)))
                deadline = time.monotonic() + 5  # heartbeats come every second: no read times out
                while len(got) < 2 and time.monotonic() < deadline:
                    ws.receive_data(s.recv(65536))
                    for event in ws.events():
                        if isinstance(event, AcceptConnection):
                            s.sendall(ws.send(Message(data=json.dumps({"typ": "lampa", "lampa": 108}))))
                        elif isinstance(event, Message):
                            text += event.data
                            if event.message_finished:
                                got += [(m["typ"], m.get("nazwa"), m.get("lampa")) for m in [json.loads(text)]
                                        if m["typ"] in ("hala", "lampa")]
                                text = ""
            self.assertEqual(got, [("hala", name, None), ("lampa", None, 108)])
        finally:
            hall.close()


class Https(unittest.TestCase):
    def test_https_only_with_a_certificate(self):
        hall = Hall(BINARY, "panel_certyfikat cert.pem\npanel_klucz key.pem\n")
        try:
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                            "/CN=127.0.0.1", "-keyout", "key.pem", "-out", "cert.pem"], cwd=hall.work, check=True,
                           capture_output=True)
            hall.origin = hall.origin.replace("http:", "https:")
            hall.start()
            context = ssl.create_default_context(cafile=os.path.join(hall.work, "cert.pem"))
            context.check_hostname = False
            response, _ = login(hall, context=context)
            self.assertEqual(response.status, 200)
            self.assertIn("Secure", response.getheader("Set-Cookie"))
            with self.assertRaises((ConnectionError, http.client.HTTPException, OSError)):
                request(hall, "GET", "/")
        finally:
            hall.close()


if __name__ == "__main__":
    unittest.main()
