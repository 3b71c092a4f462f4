"""Drives the site that scripts/site started, as its layout file says, and prints the table.

Each site's bridge reaches the centre through a relay of this process, so that the link can be cut
as a network cuts it while both brokers run on. Exit status 0 when every check holds, 1 when one
does not, 2 when the run could not be made.
"""
import json
import socket
import statistics
import sys
import threading
import time
import uuid

import paho.mqtt.client as mqtt
from paho.mqtt.subscribeoptions import SubscribeOptions

LAMPS = 108
ZONES = 8
SCENE = 3
SAMPLES_PER_HALL = 20
# Events at each hall during the cut, one every so many seconds.
CUT_EVENT_PERIOD = 0.5
READY_TIME = 60
EVENT_TIME = 10
# The bridge tries again 1 to 10 s after a failure (restart_timeout 1 10).
RECONNECT_TIME = 60


class Unmade(Exception):
    """The run could not be made: exit status 2."""


def state_line(lit):
    return "".join(f"la{n}={3 if n in lit else 1}&" for n in range(1, LAMPS + 1))


def zone_lamps(k):
    return set(range((k - 1) * LAMPS // ZONES + 1, k * LAMPS // ZONES + 1))


ALL_OFF = state_line(set())
SCENE_LAMPS = {n for n in range(1, LAMPS + 1) if n % 3 == 0}


class Relay:
    """The bridge's link to the centre: a TCP relay that cut() breaks at both ends, taking no new
    connection until restore()."""

    def __init__(self, port, target):
        self.port, self.target = port, target
        self.lock = threading.Lock()
        self.sockets = []
        self.server = None

    def restore(self):
        self.server = socket.create_server(("127.0.0.1", self.port))
        threading.Thread(target=self._accept, args=(self.server,), daemon=True).start()

    def cut(self):
        with self.lock:
            for s in [self.server] + self.sockets:
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                s.close()
            self.sockets = []

    def _accept(self, server):
        while True:
            try:
                near, _ = server.accept()
            except OSError:
                if server.fileno() < 0:
                    return
                continue
            try:
                far = socket.create_connection(("127.0.0.1", self.target), timeout=5)
            except OSError:
                near.close()
                continue
            far.settimeout(None)
            # A relay is no place for Nagle's wait: the brokers at either end send at once.
            for end in (near, far):
                end.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            with self.lock:
                self.sockets += [near, far]
            for a, b in ((near, far), (far, near)):
                threading.Thread(target=self._pipe, args=(a, b), daemon=True).start()

    @staticmethod
    def _pipe(a, b):
        try:
            while data := a.recv(65536):
                b.sendall(data)
            b.shutdown(socket.SHUT_WR)
        except OSError:
            pass


class Broker:
    """One client of the run on one broker, with every message it heard: its payload, retain flag
    and time of arrival, by topic."""

    def __init__(self, name, port, filters, as_published=False):
        self.name, self.port = name, port
        self.cond = threading.Condition()
        self.heard = {}
        self.acked = 0
        self.client = mqtt.Client(client_id=f"site-{name}-{uuid.uuid4().hex[:8]}", protocol=mqtt.MQTTv5)
        self.client.on_message = self._message
        self.client.on_connect = lambda *args: self._count()
        self.client.on_subscribe = lambda *args: self._count()
        try:
            self.client.connect("127.0.0.1", port)
        except OSError as e:
            raise Unmade(f"no connection to {name} on port {port}: {e}")
        # Else an acknowledgement it sends holds back its next message until the broker's
        # delayed acknowledgement of it, some 40 ms: the run would time its own client.
        self.client.socket().setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.client.loop_start()
        self._await(1, f"no connection to {name}")
        # Not its own publications: at a site, what it hears on a command topic came from the centre.
        options = SubscribeOptions(qos=1, noLocal=True, retainAsPublished=as_published)
        self.client.subscribe([(f, options) for f in filters])
        self._await(2, f"{name} did not take the subscriptions")

    def _count(self):
        with self.cond:
            self.acked += 1
            self.cond.notify_all()

    def _await(self, count, reason):
        with self.cond:
            if not self.cond.wait_for(lambda: self.acked >= count, 10):
                raise Unmade(reason)

    def _message(self, client, userdata, message):
        now = time.monotonic()
        with self.cond:
            self.heard.setdefault(message.topic, []).append((now, message.payload.decode(errors="replace"),
                                                             message.retain))
            self.cond.notify_all()

    def publish(self, topic, payload):
        return self.client.publish(topic, payload, qos=1)

    def last(self, topic):
        with self.cond:
            arrivals = self.heard.get(topic)
            return arrivals[-1][1] if arrivals else None

    def arrival(self, topic, payload, after):
        """When `payload` first came on `topic` at or after `after`; None when it has not."""
        with self.cond:
            return next((t for t, p, _ in self.heard.get(topic, []) if t >= after and p == payload), None)

    def wait(self, predicate, seconds):
        with self.cond:
            return self.cond.wait_for(predicate, seconds)

    def wait_arrival(self, topic, payload, after, seconds):
        self.wait(lambda: self.arrival(topic, payload, after) is not None, seconds)
        return self.arrival(topic, payload, after)

    def close(self):
        self.client.disconnect()
        self.client.loop_stop()


def retained(port, filters):
    """What the broker holds under `filters`, as a client that subscribes now receives it: every
    retained message is queued to it before its own message on a topic subscribed later; one
    published retained meanwhile comes with its flag too."""
    probe = f"site-check/{uuid.uuid4().hex}"
    broker = Broker("snapshot", port, filters, as_published=True)
    try:
        broker.client.subscribe(probe, qos=1)
        broker._await(3, "no subscription to the probe")
        broker.client.publish(probe, "1", qos=1)
        if not broker.wait(lambda: probe in broker.heard, 30):
            raise Unmade("the broker did not hand over what it holds within 30 s")
        with broker.cond:
            return {t: a[-1][1] for t, a in broker.heard.items() if t != probe and a[-1][2]}
    finally:
        broker.close()


def median_p99(samples):
    ordered = sorted(samples)
    if not ordered:
        return "-"
    p99 = ordered[min(len(ordered) - 1, int(0.99 * len(ordered)))]
    return f"{statistics.median(ordered) * 1000:.2f} ms / {p99 * 1000:.2f} ms"


class Hall:
    def __init__(self, site, name, directory):
        self.site, self.name, self.dir = site, name, directory
        self.topic = f"{site}/hala/{name}"
        self.zone = 0  # the last input moved

    def actual(self):
        with open(f"{self.dir}/actual.txt", encoding="ascii", errors="replace") as f:
            return f.readline().rstrip("\r\n")

    def log_size(self):
        with open(f"{self.dir}/sterownik.log", "rb") as f:
            return len(f.read())

    def events_logged(self, since):
        """Switches the log tells of since `since` bytes: by motion, or by the all-off command."""
        with open(f"{self.dir}/sterownik.log", "rb") as f:
            f.seek(since)
            lines = f.read().decode(errors="replace").splitlines()
        return sum(1 for line in lines if (line.startswith("czujnik ") and ": ruch: " in line)
                   or line.startswith("polecenie: wyłącz oświetlenie: "))


class Run:
    def __init__(self, layout):
        self.cut_seconds = layout["cut"]
        self.protocol = layout["protocol"]
        self.centre_port = layout["centre"]
        self.site_names = [s["name"] for s in layout["sites"]]
        self.relays = {s["name"]: Relay(s["relay"], self.centre_port) for s in layout["sites"]}
        self.halls = [Hall(s["name"], h["name"], h["dir"]) for s in layout["sites"] for h in s["halls"]]
        self.rows = []
        for relay in self.relays.values():
            relay.restore()
        self.centre = Broker("centrala", self.centre_port,
                             ["+/hala/+/stan", "+/hala/_znacznik", "$SYS/broker/connection/+/state"])
        self.sites = {s["name"]: Broker(s["name"], s["port"],
                                        ["+/hala/+/stan", "+/hala/+/dostepnosc", "+/hala/+/scena/set",
                                         "+/hala/+/wylacz/set", "+/hala/+/lampa/+/set", "+/hala/_znacznik"])
                      for s in layout["sites"]}

    def row(self, measure, value, goal="", verdict=""):
        self.rows.append((measure, value, goal, verdict))

    def check(self, measure, value, goal, failure):
        self.row(measure, value, goal, "met" if not failure else f"NOT MET: {failure}")

    def site(self, hall):
        return self.sites[hall.site]

    def bridge_state(self, site):
        return f"$SYS/broker/connection/{site}/state"

    def await_bridges(self, payload, after, seconds):
        if not self.centre.wait(lambda: all(self.centre.arrival(self.bridge_state(s), payload, after) is not None
                                            for s in self.site_names), seconds):
            raise Unmade(f"the bridges did not say {payload} at the centre within {seconds} s")

    def through_bridges(self, after):
        """Until each site's marker is at the centre, twice: a marker queues behind all that the
        site's bridge held, but the first may pass what the bridge queues once the centre has
        taken its connection (the site's retained messages, sent anew); the second cannot."""
        for _ in range(2):
            marker = uuid.uuid4().hex
            for name, site in self.sites.items():
                site.publish(f"{name}/hala/_znacznik", marker)
            if not self.centre.wait(lambda: all(self.centre.arrival(f"{s}/hala/_znacznik", marker, after) is not None
                                                for s in self.site_names), RECONNECT_TIME):
                raise Unmade(f"what the bridges held did not reach the centre within {RECONNECT_TIME} s")

    def ready(self):
        def all_there():
            return all(self.site(h).last(f"{h.topic}/dostepnosc") == "online"
                       and self.site(h).last(f"{h.topic}/stan") == ALL_OFF
                       and self.centre.last(f"{h.topic}/stan") == ALL_OFF for h in self.halls)
        self.await_bridges("1", 0, READY_TIME)
        if not self.centre.wait(all_there, READY_TIME):
            missing = [h.topic for h in self.halls if self.centre.last(f"{h.topic}/stan") != ALL_OFF]
            raise Unmade(f"not every hall online, all off, at the centre within {READY_TIME} s: {missing[:5]}")
        self.through_bridges(0)

    def discovery(self):
        """What a Home Assistant at the centre finds: one device per hall, every id unique, every
        topic under the hall's own, and the state it names there."""
        held = retained(self.centre_port, ["homeassistant/#", "+/hala/+/lampa/+", "+/hala/+/dostepnosc"])
        devices, ids, faults = {}, set(), []
        for topic, payload in held.items():
            if not topic.startswith("homeassistant/"):
                continue
            config = json.loads(payload)
            node = config["device"]["identifiers"][0]
            devices.setdefault(node, []).append(config)
            if config["unique_id"] in ids:
                faults.append(f"unique_id {config['unique_id']} twice")
            ids.add(config["unique_id"])
        for hall in self.halls:
            node = f"{hall.site}_hala_{hall.name}"
            configs = devices.pop(node, [])
            lights = [c for c in configs if "command_topic" in c and "state_topic" in c]
            if len(lights) != LAMPS:
                faults.append(f"{node}: {len(lights)} lights")
            for c in configs:
                named = [c.get("state_topic"), c.get("command_topic")] + [a["topic"] for a in c["availability"]]
                if any(t is not None and not t.startswith(hall.topic + "/") for t in named):
                    faults.append(f"{c['unique_id']} names a topic outside {hall.topic}")
                if c in lights and held.get(c["state_topic"]) not in ("ON", "OFF"):
                    faults.append(f"{c['state_topic']}: no state at the centre")
        faults += [f"a device of no hall: {node}" for node in devices]
        self.check("Home Assistant at the centre: devices, configurations (unique ids)",
                   f"{len(self.halls) - sum(1 for f in faults if 'lights' in f)} of {len(self.halls)} halls, "
                   f"{len(ids)} configurations", "every hall once, ids unique, its own topics",
                   "; ".join(faults[:3]) + (f" (and {len(faults) - 3} more)" if len(faults) > 3 else ""))

    def latency(self):
        """Motion at a hall to the state it gives, at the hall's site broker and at the centre."""
        at_site, at_centre, added, lost = [], [], [], 0
        samples = SAMPLES_PER_HALL * len(self.halls)
        for i in range(samples):
            hall = self.halls[i % len(self.halls)]
            site = self.site(hall)
            if site.last(f"{hall.topic}/stan") != ALL_OFF:
                sent = time.monotonic()
                site.publish(f"{hall.topic}/wylacz/set", "PRESS")
                if site.wait_arrival(f"{hall.topic}/stan", ALL_OFF, sent, EVENT_TIME) is None:
                    raise Unmade(f"{hall.topic}: all off not carried out within {EVENT_TIME} s")
            k = i // len(self.halls) % ZONES + 1
            wanted = state_line(zone_lamps(k))
            sent = time.monotonic()
            site.publish(f"{hall.topic}/czujnik/{k}", "1")
            there = site.wait_arrival(f"{hall.topic}/stan", wanted, sent, EVENT_TIME)
            centre = self.centre.wait_arrival(f"{hall.topic}/stan", wanted, sent, EVENT_TIME)
            if there is None or centre is None:
                lost += 1
                continue
            at_site.append(there - sent)
            at_centre.append(centre - sent)
            added.append(centre - there)
        self.check("motion to state seen at the centre / sent", f"{samples - lost} / {samples}", "none lost",
                   f"{lost} lost" if lost else "")
        self.row("motion to state at the hall's site broker, median / p99", median_p99(at_site))
        self.row("motion to state at the centre, median / p99", median_p99(at_centre))
        self.row("the bridge's added latency (centre - site), median / p99", median_p99(added))

    def cut(self):
        """The link cut while every hall switches; then whether every event was carried out, and
        whether the centre holds what every hall's actual.txt says."""
        start = time.monotonic()
        for relay in self.relays.values():
            relay.cut()
        self.await_bridges("0", start, EVENT_TIME)
        logs = {h.topic: h.log_size() for h in self.halls}
        centre_before = {h.topic: len(self.centre.heard.get(f"{h.topic}/stan", [])) for h in self.halls}
        expected, sent, published = {}, {h.topic: 0 for h in self.halls}, []
        first = time.monotonic()
        end = first + self.cut_seconds
        step = CUT_EVENT_PERIOD / len(self.halls)
        i = 0
        while (due := first + i * step) < end:
            time.sleep(max(0.0, due - time.monotonic()))
            hall = self.halls[i % len(self.halls)]
            site = self.site(hall)
            # Each event switches lamps: motion after all off, all off after motion.
            lit = expected.get(hall.topic, site.last(f"{hall.topic}/stan")) != ALL_OFF
            if lit:
                published.append(site.publish(f"{hall.topic}/wylacz/set", "PRESS"))
                expected[hall.topic] = ALL_OFF
            else:
                hall.zone = hall.zone % ZONES + 1
                published.append(site.publish(f"{hall.topic}/czujnik/{hall.zone}", "1"))
                expected[hall.topic] = state_line(zone_lamps(hall.zone))
            sent[hall.topic] += 1
            i += 1
        # Carried out: each logged, the lines written right after the state is published.
        total = sum(sent.values())
        deadline = time.monotonic() + EVENT_TIME
        while (logged := sum(h.events_logged(logs[h.topic]) for h in self.halls)) < total and \
                time.monotonic() < deadline:
            time.sleep(0.05)
        unacknowledged = sum(1 for p in published if not p.is_published())
        as_sent = sum(1 for h in self.halls if h.actual() == expected[h.topic])
        leaked = sum(len(self.centre.heard.get(f"{h.topic}/stan", [])) - centre_before[h.topic] for h in self.halls)
        cut = f"{self.cut_seconds} s cut"
        self.check(f"{cut}: events sent at the sites / carried out at the halls (logged)",
                   f"{total} / {logged} ({unacknowledged} not acknowledged by the site broker)",
                   "all (0 lost)", "" if logged == total and unacknowledged == 0 else f"{total - logged} lost")
        self.check(f"{cut}: halls whose actual.txt is what their events give", f"{as_sent} / {len(self.halls)}",
                   "all", "" if as_sent == len(self.halls) else f"{len(self.halls) - as_sent} not")
        self.check(f"{cut}: states that reached the centre during the cut", str(leaked), "none (the link was cut)",
                   f"{leaked}" if leaked else "")
        self.restore()

    def restore(self):
        for relay in self.relays.values():
            relay.restore()
        back = time.monotonic()
        self.await_bridges("1", back, RECONNECT_TIME)
        connected = time.monotonic()
        self.through_bridges(back)
        drained = time.monotonic()
        held = retained(self.centre_port, ["+/hala/+/stan", "+/hala/+/lampa/+"])
        same, faults = 0, []
        for hall in self.halls:
            line = hall.actual()
            lamps = {n for n, piece in enumerate(line.split("&")[:LAMPS], 1) if piece.partition("=")[2] != "1"}
            wrong = [n for n in range(1, LAMPS + 1)
                     if held.get(f"{hall.topic}/lampa/{n}") != ("ON" if n in lamps else "OFF")]
            if held.get(f"{hall.topic}/stan") == line and not wrong:
                same += 1
            else:
                stan = held.get(f"{hall.topic}/stan")
                faults.append(f"{hall.topic}: stan {'none' if stan is None else 'same' if stan == line else 'differs'}"
                              f", {len(wrong)} lamps differ ({sum(1 for n in wrong if held.get(f'{hall.topic}/lampa/{n}') is None)} none)")
        self.row("after the cut: the bridges back / the centre up to date, after the link's return",
                 f"{connected - back:.1f} s / {drained - back:.1f} s")
        self.check("after the cut: halls whose state at the centre (stan, 108 lamps) is their actual.txt",
                   f"{same} / {len(self.halls)}", "all", "; ".join(faults[:3]))

    def scene(self):
        """A scene command at the centre for one hall of the first site: its hall switches, and no
        command reaches any other, the second site's hall of the same name among them."""
        target = self.halls[min(1, len(self.halls) - 1)]
        before = {h.topic: h.actual() for h in self.halls}
        for site in self.sites.values():
            with site.cond:
                for topic in list(site.heard):
                    if topic.endswith("/set"):
                        del site.heard[topic]
        sent = time.monotonic()
        self.centre.publish(f"{target.topic}/scena/set", str(SCENE))
        marker = uuid.uuid4().hex
        for name in self.site_names:
            self.centre.publish(f"{name}/hala/_znacznik", marker)
        wanted = state_line(SCENE_LAMPS)
        arrived = self.centre.wait_arrival(f"{target.topic}/stan", wanted, sent, EVENT_TIME)
        for name, site in self.sites.items():
            if site.wait_arrival(f"{name}/hala/_znacznik", marker, sent, EVENT_TIME) is None:
                raise Unmade(f"the centre's marker did not reach {name} within {EVENT_TIME} s")
        commands = sorted(f"{name}: {t}" for name, site in self.sites.items() for t in site.heard
                          if t.endswith("/set"))
        changed = [h.topic for h in self.halls if h is not target and h.actual() != before[h.topic]]
        faults = []
        if arrived is None or target.actual() != wanted:
            faults.append(f"{target.topic} not at scene {SCENE}")
        if commands != [f"{target.site}: {target.topic}/scena/set"]:
            faults.append(f"commands at the sites: {commands}")
        if changed:
            faults.append(f"other halls changed: {changed}")
        value = f"{target.topic} at scene {SCENE}" + (f" in {(arrived - sent) * 1000:.1f} ms" if arrived else "")
        self.check(f"scene command at the centre for {target.topic} (both sites have a {target.name})",
                   f"{value}, {len(changed)} other halls changed", "its hall, no other", "; ".join(faults))

    def all(self):
        self.ready()
        bridge = "MQTT v5" if self.protocol == "mqttv50" else "MQTT 3.1.1"
        sizes = {s: sum(1 for h in self.halls if h.site == s) for s in self.site_names}
        self.row("site", f"{len(sizes)} sites ({', '.join(f'{s}: {n} halls' for s, n in sizes.items())}), "
                         f"bridges {bridge}")
        self.discovery()
        self.latency()
        self.cut()
        self.scene()
        return self.rows


def table(rows):
    rows = [("measure", "value", "goal", "verdict")] + rows
    widths = [max(len(r[c]) for r in rows) for c in range(4)]
    line = lambda r: "| " + " | ".join(cell.ljust(w) for cell, w in zip(r, widths)) + " |"
    return "\n".join([line(rows[0]), "|" + "|".join("-" * (w + 2) for w in widths) + "|"] + [line(r) for r in rows[1:]])


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        layout = json.load(f)
    try:
        rows = Run(layout).all()
    except Unmade as e:
        print(f"scripts/site: {e}", file=sys.stderr)
        return 2
    print(table(rows))
    return 1 if any(r[3].startswith("NOT MET") for r in rows) else 0


if __name__ == "__main__":
    sys.exit(main())
