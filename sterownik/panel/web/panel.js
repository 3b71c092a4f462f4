// The hall's panel: one page, one socket for the state, plain requests for the commands.
'use strict';
(() => {
  const LAMPY = 108;
  const CISZA_MS = 4000; // the heartbeat comes every second: four silent seconds mean a frozen controller
  // The page must be back within 2 s of the controller listening again, after an outage of any length:
  // the tries back off only that far, and a refused try on the hall's own network costs next to nothing.
  const ODCZEKANIE_MIN_MS = 500;
  const ODCZEKANIE_MAX_MS = 2000;
  const ZAPYTANIE_MS = 10000; // a request never leaves a button waiting for ever
  const BRAK_POLACZENIA = 'Brak połączenia ze sterownikiem';
  const STANY_STREF = { wolna: 'wolna', trzymana: 'trzymana', zwalniana: 'zwalniana' };

  const $ = (id) => document.getElementById(id);
  const nowy = (tag, klasa, tekst) => {
    const e = document.createElement(tag);
    if (klasa) e.className = klasa;
    if (tekst !== undefined) e.textContent = tekst;
    return e;
  };
  const liczba = (x, cyfry) => x.toLocaleString('pl-PL', { maximumFractionDigits: cyfry });

  const stan = {
    tryb: 'start', // 'start' until /sesja answers, then 'panel' or 'logowanie'
    polaczony: false,
    uzytkownik: null,
    polecenia: false,
    wToku: false,
    lampy: '0'.repeat(LAMPY),
    awarie: new Set(),
    dziennik: false,
    szczegoly: 0,
    daneLampy: null,
    strefy: [],
    czekaNaPlan: false,
  };
  let gniazdo = null;
  let straznik = 0;
  let ponowienie = 0;
  let odczekanie = ODCZEKANIE_MIN_MS;
  // Bumped whenever the session changes hands, so that a late answer to an older question is dropped.
  let pokolenie = 0;

  const komorki = [];
  const form = $('logowanie');
  const dialog = $('szczegoly');

  function budujPlan() {
    const plan = $('plan');
    for (let n = 1; n <= LAMPY; n++) {
      const b = nowy('button', 'lampa', `L${n}`);
      b.type = 'button';
      b.dataset.lampa = String(n);
      b.dataset.stan = 'wyl';
      b.setAttribute('aria-haspopup', 'dialog');
      b.addEventListener('click', () => otworzSzczegoly(n));
      plan.append(b);
      komorki.push(b);
    }
    const sceny = $('sceny');
    for (let k = 1; k <= 8; k++) {
      const b = nowy('button', 'scena', `Scena ${k}`);
      b.type = 'button';
      b.dataset.scena = String(k);
      b.disabled = true;
      b.addEventListener('click', () => wyslij({ polecenie: 'scena', scena: k }, `Scena ${k}`));
      sceny.append(b);
    }
    document.querySelector('[data-polecenie="wylacz"]').addEventListener('click', () =>
      wyslij({ polecenie: 'wylacz' }, 'Wyłącz oświetlenie'));
    dialog.querySelector('[data-polecenie="wlacz-lampe"]').addEventListener('click', () =>
      wyslij({ polecenie: 'lampa', lampa: stan.szczegoly, wl: true }, `Włącz L${stan.szczegoly}`));
    dialog.querySelector('[data-polecenie="wylacz-lampe"]').addEventListener('click', () =>
      wyslij({ polecenie: 'lampa', lampa: stan.szczegoly, wl: false }, `Wyłącz L${stan.szczegoly}`));
    $('zamknij').addEventListener('click', () => dialog.close());
    dialog.addEventListener('close', () => { stan.szczegoly = 0; });
    strefy(Array.from({ length: 8 }, () => ({ stan: 'wolna' })));
  }

  // ---- what the page shows

  function odswiezWidok() {
    const panel = stan.tryb === 'panel';
    $('panel').hidden = !panel;
    form.hidden = !(stan.tryb === 'logowanie' || (panel && !stan.uzytkownik));
    $('wyloguj').hidden = !stan.uzytkownik;
    let kto = '';
    if (stan.uzytkownik) kto = `Użytkownik: ${stan.uzytkownik}${stan.polecenia ? '' : ' (tylko podgląd)'}`;
    else if (panel) kto = 'Podgląd bez logowania';
    $('kto').textContent = kto;
    document.body.dataset.polaczenie = stan.polaczony ? 'tak' : 'nie';
    const alarm = $('alarm');
    alarm.hidden = stan.polaczony || stan.tryb === 'logowanie';
    const tekst = alarm.hidden ? '' : BRAK_POLACZENIA;
    if (alarm.textContent !== tekst) alarm.textContent = tekst; // said again only when it changes
    if (!panel && dialog.open) dialog.close();
    odswiezPolecenia();
  }

  function odswiezPolecenia() {
    const wolno = stan.polaczony && stan.polecenia && !stan.wToku;
    for (const b of document.querySelectorAll('[data-scena], [data-polecenie]')) b.disabled = !wolno;
  }

  function komunikat(tekst, blad = false) {
    const k = $('komunikat');
    k.textContent = tekst;
    k.classList.toggle('blad', blad);
  }

  function komunikatLogowania(tekst, blad = true) {
    const k = $('logowanie-komunikat');
    k.textContent = tekst;
    k.classList.toggle('blad', blad);
  }

  function rysujLampy() {
    komorki.forEach((b, i) => {
      const wl = stan.lampy[i] === '1';
      const awaria = stan.awarie.has(i + 1);
      b.dataset.stan = wl ? 'wl' : 'wyl';
      b.classList.toggle('awaria', awaria);
      b.setAttribute('aria-label', `L${i + 1}: ${wl ? 'świeci' : 'nie świeci'}${awaria ? ', awaria' : ''}`);
    });
    if (stan.szczegoly) rysujSzczegoly();
  }

  function czas(sekundy) {
    const s = Math.max(0, Math.round(sekundy));
    return `${String(Math.floor(s / 60)).padStart(2, '0')}:${String(s % 60).padStart(2, '0')}`;
  }

  // The countdown runs against a deadline, so a late timer tick never makes it drift.
  function rysujStrefy() {
    const teraz = performance.now();
    for (const s of stan.strefy) {
      let tekst = s.stan;
      if (s.stan === 'zwalniana' && s.koniec !== null) tekst += ` ${czas((s.koniec - teraz) / 1000)}`;
      s.opis.textContent = tekst;
    }
  }

  function rysujSzczegoly() {
    const n = stan.szczegoly;
    const d = stan.daneLampy;
    $('szczegoly-tytul').textContent = `Lampa L${n}`;
    const dl = $('szczegoly-dane');
    dl.replaceChildren();
    const wiersz = (nazwa, wartosc) => dl.append(nowy('dt', '', nazwa), nowy('dd', '', wartosc));
    wiersz('Stan', stan.lampy[n - 1] === '1' ? 'świeci' : 'nie świeci');
    if (d && typeof d.godziny === 'number') {
      wiersz('Godziny świecenia', `${liczba(d.godziny, 2)} h`);
      wiersz('Włączenia', typeof d.wlaczenia === 'number' ? liczba(d.wlaczenia, 0) : '—');
      wiersz('Zużyta żywotność', typeof d.zywotnosc === 'number' ? `${liczba(d.zywotnosc, 1)} %` : 'nie podano żywotności');
    } else if (stan.dziennik && !d) {
      wiersz('Dziennik', stan.polaczony ? 'wczytywanie…' : 'niedostępny bez połączenia');
    }
    if (d && (typeof d.godziny === 'number' || typeof d.awaria === 'string')) {
      wiersz('Awaria', typeof d.awaria === 'string' ? d.awaria : 'brak awarii');
    } else if (stan.awarie.has(n)) {
      wiersz('Awaria', 'zgłoszona');
    }
  }

  function otworzSzczegoly(n) {
    stan.szczegoly = n;
    stan.daneLampy = null;
    rysujSzczegoly();
    if (!dialog.open) dialog.showModal();
    poprosOLampe();
  }

  function poprosOLampe() {
    if (stan.szczegoly && stan.polaczony && gniazdo && gniazdo.readyState === WebSocket.OPEN) {
      gniazdo.send(JSON.stringify({ typ: 'lampa', lampa: stan.szczegoly }));
    }
  }

  // ---- messages from the controller; anything malformed is left out rather than half drawn

  const obsluga = {
    hala(m) {
      $('hala').textContent = typeof m.nazwa === 'string' && m.nazwa ? m.nazwa : 'Hala';
      document.title = `Panel: ${$('hala').textContent}`;
      stan.uzytkownik = typeof m.uzytkownik === 'string' ? m.uzytkownik : null;
      stan.polecenia = m.polecenia === true;
      stan.polaczony = true;
      stan.czekaNaPlan = true;
      odczekanie = ODCZEKANIE_MIN_MS;
      odswiezWidok();
      poprosOLampe();
    },
    lampy(m) {
      if (typeof m.lampy !== 'string' || !/^[01]{108}$/.test(m.lampy)) return;
      stan.lampy = m.lampy;
      rysujLampy();
      if (stan.czekaNaPlan) {
        stan.czekaNaPlan = false;
        performance.mark('panel-plan'); // when the plan first showed the hall as it is
      }
    },
    strefy(m) {
      if (Array.isArray(m.strefy)) strefy(m.strefy);
    },
    urzadzenia(m) {
      if (!Array.isArray(m.urzadzenia)) return;
      const lista = $('urzadzenia');
      lista.replaceChildren();
      for (const u of m.urzadzenia) {
        if (!u || typeof u.nazwa !== 'string') continue;
        const li = nowy('li', 'urzadzenie');
        li.dataset.urzadzenie = u.nazwa;
        li.dataset.stan = u.obecne === true ? 'tak' : 'nie';
        li.append(nowy('span', 'nazwa', u.nazwa === 'broker' ? 'Broker MQTT' : u.nazwa),
          nowy('span', 'obecnosc', u.obecne === true ? 'obecny' : 'brak'));
        lista.append(li);
      }
      if (!lista.childElementCount) lista.append(nowy('li', 'pusto', 'Brak urządzeń w konfiguracji'));
    },
    dziennik(m) {
      const dl = $('dziennik-dane');
      stan.dziennik = m.wylaczony !== true;
      $('dziennik').hidden = !stan.dziennik;
      if (!stan.dziennik) {
        dl.replaceChildren();
        stan.awarie = new Set();
      } else {
        if (!dl.querySelector('[data-moc]')) {
          const moc = nowy('dd');
          moc.dataset.moc = '';
          const energia = nowy('dd');
          energia.dataset.energiaDzis = '';
          dl.append(nowy('dt', '', 'Moc hali'), moc, nowy('dt', '', 'Energia dziś'), energia);
        }
        dl.querySelector('[data-moc]').textContent =
          typeof m.moc === 'number' ? `${liczba(m.moc, 1)} W` : '—';
        dl.querySelector('[data-energia-dzis]').textContent =
          typeof m.energia_dzis === 'number' ? `${liczba(m.energia_dzis, 3)} kWh` : '—';
        stan.awarie = new Set(Array.isArray(m.awarie) ? m.awarie.filter(Number.isInteger) : []);
      }
      rysujLampy();
    },
    lampa(m) {
      if (m.lampa !== stan.szczegoly) return;
      stan.daneLampy = m;
      rysujSzczegoly();
    },
    puls() {},
  };

  function strefy(lista) {
    const ul = $('strefy');
    ul.replaceChildren();
    stan.strefy = [];
    lista.slice(0, 8).forEach((s, i) => {
      const st = s && STANY_STREF[s.stan] ? s.stan : 'wolna';
      const li = nowy('li', 'strefa');
      li.dataset.strefa = String(i + 1);
      li.dataset.stan = st;
      const opis = nowy('span', 'opis');
      li.append(nowy('strong', '', `C${i + 1}`), opis);
      ul.append(li);
      const koniec = st === 'zwalniana' && Number.isFinite(s.pozostalo)
        ? performance.now() + s.pozostalo * 1000 : null;
      stan.strefy.push({ stan: st, koniec, opis });
    });
    rysujStrefy();
  }

  function odbierz(tekst) {
    let m;
    try {
      m = JSON.parse(tekst);
    } catch {
      return;
    }
    if (m && typeof m === 'object' && Object.prototype.hasOwnProperty.call(obsluga, m.typ)) obsluga[m.typ](m);
  }

  // ---- the connection

  function polacz() {
    rozlacz();
    const ws = new WebSocket(`${location.protocol === 'https:' ? 'wss' : 'ws'}://${location.host}/stan`, 'hala');
    gniazdo = ws;
    pilnuj();
    ws.onmessage = (e) => {
      if (gniazdo !== ws) return;
      pilnuj();
      odbierz(e.data);
    };
    ws.onclose = ws.onerror = () => {
      if (gniazdo === ws) zerwane();
    };
  }

  function pilnuj() {
    clearTimeout(straznik);
    straznik = setTimeout(zerwane, CISZA_MS);
  }

  function rozlacz() {
    clearTimeout(straznik);
    const ws = gniazdo;
    gniazdo = null;
    if (ws) {
      ws.onmessage = ws.onclose = ws.onerror = null;
      ws.close();
    }
    if (stan.polaczony) {
      stan.polaczony = false;
      odswiezWidok();
    }
  }

  function zerwane() {
    rozlacz();
    odswiezWidok();
    zaplanujPonowienie();
  }

  function zaplanujPonowienie() {
    clearTimeout(ponowienie);
    ponowienie = setTimeout(sprawdzSesje, odczekanie);
    odczekanie = Math.min(odczekanie * 2, ODCZEKANIE_MAX_MS);
  }

  async function zapytaj(sciezka, opcje = {}) {
    const przerwij = new AbortController();
    const t = setTimeout(() => przerwij.abort(), ZAPYTANIE_MS);
    try {
      return await fetch(sciezka, { ...opcje, signal: przerwij.signal, cache: 'no-store', credentials: 'same-origin' });
    } finally {
      clearTimeout(t);
    }
  }

  async function cialo(odp) {
    try {
      const j = await odp.json();
      return j && typeof j === 'object' ? j : {};
    } catch {
      return {};
    }
  }

  function przyjmijSesje(s) {
    stan.tryb = 'panel';
    stan.uzytkownik = typeof s.uzytkownik === 'string' ? s.uzytkownik : null;
    stan.polecenia = s.polecenia === true;
    odswiezWidok();
  }

  async function sprawdzSesje() {
    const moje = pokolenie;
    let odp;
    let s = null;
    try {
      odp = await zapytaj('/sesja');
      if (odp.ok) s = await odp.json();
    } catch {
      odp = null;
    }
    if (moje !== pokolenie) return;
    if (odp && odp.status === 401) return pokazLogowanie(stan.uzytkownik ? 'Sesja wygasła, zaloguj się ponownie' : '');
    if (!s || typeof s !== 'object') {
      odswiezWidok();
      return zaplanujPonowienie();
    }
    przyjmijSesje(s);
    polacz();
  }

  function pokazLogowanie(tekst) {
    pokolenie++;
    clearTimeout(ponowienie);
    rozlacz();
    stan.tryb = 'logowanie';
    stan.uzytkownik = null;
    stan.polecenia = false;
    odczekanie = ODCZEKANIE_MIN_MS;
    odswiezWidok();
    komunikatLogowania(tekst);
    form.uzytkownik.focus();
  }

  // ---- what the user does

  async function wyslij(polecenie, opis) {
    if (!stan.polaczony || !stan.polecenia || stan.wToku) return;
    stan.wToku = true;
    odswiezPolecenia();
    komunikat(`${opis}: wysyłanie…`);
    let odp;
    try {
      odp = await zapytaj('/polecenie', {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify(polecenie),
      });
    } catch (e) {
      // Never sent again: the controller may have carried it out after all.
      komunikat(e.name === 'AbortError'
        ? `${opis}: sterownik nie potwierdził polecenia, sprawdź plan`
        : 'Polecenie nie dotarło do sterownika', true);
      return;
    } finally {
      stan.wToku = false;
      odswiezPolecenia();
    }
    if (odp.ok) return komunikat(`${opis}: przyjęte`);
    if (odp.status === 401) return pokazLogowanie('Sesja wygasła, zaloguj się ponownie');
    const { blad } = await cialo(odp);
    komunikat(typeof blad === 'string' ? blad : `Sterownik odrzucił polecenie (kod ${odp.status})`, true);
  }

  async function zaloguj(e) {
    e.preventDefault();
    const przycisk = form.querySelector('button[type="submit"]');
    if (przycisk.disabled) return;
    const uzytkownik = form.uzytkownik.value.trim();
    const haslo = form.haslo.value;
    if (!uzytkownik || !haslo) return komunikatLogowania('Podaj nazwę użytkownika i hasło');
    przycisk.disabled = true;
    komunikatLogowania('Logowanie…', false);
    let odp;
    try {
      odp = await zapytaj('/logowanie', {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ uzytkownik, haslo }),
      });
    } catch {
      komunikatLogowania(`${BRAK_POLACZENIA}, spróbuj ponownie`);
      return;
    } finally {
      przycisk.disabled = false;
    }
    const j = await cialo(odp);
    if (!odp.ok) {
      komunikatLogowania(typeof j.blad === 'string' ? j.blad : `Logowanie nieudane (kod ${odp.status})`);
      return;
    }
    form.haslo.value = '';
    komunikatLogowania('', false);
    pokolenie++; // a login outranks any reconnection still under way
    clearTimeout(ponowienie);
    odczekanie = ODCZEKANIE_MIN_MS;
    przyjmijSesje(j);
    polacz();
  }

  async function wyloguj() {
    let odp;
    try {
      odp = await zapytaj('/wylogowanie', { method: 'POST' });
    } catch {
      return komunikat('Wylogowanie nie dotarło do sterownika', true);
    }
    if (!odp.ok && odp.status !== 401) {
      const { blad } = await cialo(odp);
      return komunikat(typeof blad === 'string' ? blad : `Wylogowanie nieudane (kod ${odp.status})`, true);
    }
    pokolenie++;
    clearTimeout(ponowienie);
    rozlacz();
    stan.uzytkownik = null;
    stan.polecenia = false;
    odczekanie = ODCZEKANIE_MIN_MS;
    komunikat('');
    sprawdzSesje(); // the login form, or the preview where the hall allows it
  }

  budujPlan();
  form.addEventListener('submit', zaloguj);
  $('wyloguj').addEventListener('click', wyloguj);
  setInterval(rysujStrefy, 1000);
  odswiezWidok();
  sprawdzSesje();
})();
