// The configurator's web page over vornik-cli serve (docs/API.md): the ports
// and a search, one register's identity, settings, goods and journal.
"use strict";

const $ = (id) => document.getElementById(id);
const kTokenKey = "vornik-serve-token";
const kFontNames = ["0 (по умолчанию)", "1 (24 символа, НОРМ по высоте)", "2 (24 символа, НОРМ по высоте, ЖИРНЫЙ)",
  "3 (24 символа, ВЫТЯНУТЫЙ по высоте)", "4 (24 символа, ВЫТЯНУТЫЙ по высоте, ЖИРНЫЙ)",
  "5 (24 символа, ДВОЙНОЙ по высоте, ЖИРНЫЙ)", "6 (32 символа, НОРМ по высоте)", "7 (32 символа, ВЫТЯНУТЫЙ по высоте)",
  "8 (32 символа, СЖАТЫЙ по высоте)"];
const kDepKinds = [["goods", "Товар"], ["service", "Услуга"], ["closed", "Закрыто"]];
const kTaxGroups = ["-", "A", "B", "C", "D", "E"];
const kLineCount = 6;

// ---- console -----------------------------------------------------------------

function say(text, kind = "") {
  const line = document.createElement("div");
  line.className = kind;
  const stamp = document.createElement("time");
  stamp.textContent = new Date().toLocaleTimeString("ru-RU");
  line.append(stamp, text);
  $("console").append(line);
  $("console").scrollTop = $("console").scrollHeight;
}

// ---- requests: the token, errors -----------------------------------------------

// The service's own texts are for scripts: English, with the field at fault.
// The page shows the register's and the link's texts, which are Russian, and
// says the rest itself.
function russianParts(text) {
  const russian = (part) => (part.match(/[А-Яа-яЁё]/g) || []).length > (part.match(/[A-Za-z]/g) || []).length;
  return String(text || "").split("; ").filter(russian).join("; ");
}

// The service's error kinds in the user's words; the status words the rest.
const kErrorKinds = { "bad-input": "Неверные данные, в ККМ ничего не записано", "file-error": "Ошибка файла",
  "port-missing": "Порт не найден", "port-busy": "Порт занят другой программой",
  "not-serial": "Это не последовательный порт", "no-answer": "ККМ не отвечает",
  "refused": "ККМ отказала", "not-kept": "ККМ не сохранила записанное: прочитано другое",
  "stopped": "Остановлено" };

class ApiError extends Error {
  constructor(status, body) {
    const prefix = (body && Object.hasOwn(kErrorKinds, body.kind) && kErrorKinds[body.kind]) || {0: "Сервис не отвечает", 400: "Неверные данные, в ККМ ничего не записано", 404: "Не найдено",
      409: "Порт занят другой программой", 413: "Файл слишком велик (больше 16 МБ)",
      415: "Сжатые данные сервис не принимает", 421: "Сервис отвечает только на адрес localhost",
      431: "Слишком много заголовков запроса", 502: "Ошибка ККМ",
      503: "Порт перегружен запросами или сервис останавливается, повторите позже",
      504: "Порт не ответил вовремя"}[status] || "Ошибка " + status;
    const detail = russianParts(body && body.error);
    super(prefix + (detail ? ": " + detail : ""));  // the field at fault is marked where it was typed
    this.status = status;
    this.kind = body && body.kind;
    this.field = body && body.field;
    this.serviceText = body && body.error;  // kept for the console of a developer
  }
}

let tokenQuestion = null;  // one question at a time, shared by every waiting request

// A page opened with #token=… (the Windows Start-menu entry) keeps the token
// for this tab and drops it from the address.
{
  const given = /^#token=([0-9a-f]{64})$/.exec(location.hash);
  if (given) {
    sessionStorage.setItem(kTokenKey, given[1]);
    history.replaceState(null, "", location.pathname + location.search);
  }
}

function askToken(why) {
  if (!tokenQuestion) {
    tokenQuestion = new Promise((resolve) => {
      if (why) $("lTokenWhy").textContent = why;
      $("eToken").value = "";
      $("formToken").onsubmit = () => {
        const token = $("eToken").value.trim();
        sessionStorage.setItem(kTokenKey, token);
        tokenQuestion = null;
        resolve(token);
      };
      $("dlgToken").oncancel = (e) => e.preventDefault();  // the page is useless without it
      $("dlgToken").showModal();
      $("eToken").focus();
    });
  }
  return tokenQuestion;
}

// One request to the service: JSON in and out, a Blob or text when the body or
// the answer is a file. A 401 asks for the token again and repeats.
async function request(method, path, { body, type } = {}) {
  for (;;) {
    const token = sessionStorage.getItem(kTokenKey) || await askToken("");
    const headers = { Authorization: "Bearer " + token };
    let payload = body;
    if (body !== undefined && !Blob.prototype.isPrototypeOf(body)) {
      payload = JSON.stringify(body);
      headers["Content-Type"] = "application/json";
    } else if (type) {
      headers["Content-Type"] = type;
    }
    let res;
    try {
      res = await fetch(path, { method, headers, body: payload });
    } catch (e) {
      throw new ApiError(0, { error: e.message });
    }
    if (res.status === 401) {
      sessionStorage.removeItem(kTokenKey);
      await askToken("Ключ доступа не подошёл. Введите ключ из файла ключа сервиса (vornik-serve.token).");
      continue;
    }
    const isJson = (res.headers.get("Content-Type") || "").includes("json");
    const data = isJson ? await res.json().catch(() => ({})) : await res.blob();
    if (!res.ok) throw new ApiError(res.status, isJson ? data : { error: res.statusText });
    return data;
  }
}

// ---- the register chosen and the lock while it works ---------------------------------

let busy = false;

function registerPath(what) {
  const query = new URLSearchParams({ speed: $("cbSpeedPort").value, net: $("cbNetNum").value });
  return `/api/v1/registers/COM${encodeURIComponent($("cbComPort").value)}/${what}?${query}`;
}

function setBusy(on) {
  busy = on;
  for (const el of document.querySelectorAll(".register, #cbComPort, #cbSpeedPort, #cbNetNum")) {
    el.disabled = on;
    el.classList.toggle("disabled", on);
  }
}

// Runs work on the chosen register with its buttons locked; a failure is shown
// in errorEl and the console, and the form keeps what the user typed.
async function onRegister(errorEl, work) {
  if (busy) return;
  if (!$("cbComPort").value) {
    errorEl.textContent = "Выберите порт (или найдите ККМ: «Поиск ККМ»).";
    return;
  }
  errorEl.textContent = "";
  for (const room of [errorEl.closest(".page") || document, $("pnlConnection")])
    room.querySelectorAll(".invalid").forEach((el) => el.classList.remove("invalid"));
  setBusy(true);
  try {
    await work();
  } catch (e) {
    errorEl.textContent = e.message;
    say(e.message, "err");
    // The line parameters are the connection panel's; the rest the form's.
    const fields = new Map([...(e.fieldMap || []), ["speed", $("cbSpeedPort")], ["net", $("cbNetNum")]]);
    if (e.field) markField(fields, e.field);
  } finally {
    setBusy(false);
  }
}

// The input a field path of an error names ("departments[2].name"), or the
// nearest one a shorter path names.
function markField(fieldMap, field) {
  for (let f = field; f; f = f.replace(/(\.[^.[\]]*|\[\d+\])$/, "")) {
    const el = fieldMap.get(f);
    if (el) {
      el.classList.add("invalid");
      el.scrollIntoView({ block: "nearest" });
      if (el.focus) el.focus();
      return;
    }
    if (!/(\.[^.[\]]*|\[\d+\])$/.test(f)) return;
  }
}

async function withFields(fieldMap, promise) {
  try {
    return await promise;
  } catch (e) {
    e.fieldMap = fieldMap;
    throw e;
  }
}

// ---- jobs --------------------------------------------------------------------------

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Follows a job to its end, showing its progress; the stop button deletes it.
async function followJob(started, progress, stopButton, onProgress = () => {}) {
  const href = started.href || "/api/v1/jobs/" + started.id;
  progress.hidden = false;
  progress.removeAttribute("value");
  stopButton.disabled = false;
  stopButton.onclick = () => {
    stopButton.disabled = true;
    request("DELETE", href).catch((e) => say(e.message, "err"));
  };
  try {
    for (;;) {
      const job = await request("GET", href);
      const { done = 0, total = 0 } = job.progress || {};
      if (total > 0) {
        progress.max = total;
        progress.value = done;
      }
      onProgress(done, total);
      if (!["queued", "running"].includes(job.state)) return job;
      await sleep(300);
    }
  } finally {
    progress.hidden = true;
    stopButton.disabled = true;
  }
}

// Why a job did not end "done"; stopped, what of it was done stays done.
function jobError(job, stoppedText = "Остановлено") {
  if (job.state === "stopped") return new Error(stoppedText);
  return new ApiError((job.error && job.error.status) || 502, job.error);
}

function download(name, blob) {
  const a = document.createElement("a");
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

// ---- ports, identity, search ---------------------------------------------------------

async function loadPorts() {
  const select = $("cbComPort");
  const remembered = JSON.parse(localStorage.getItem("vornik-register") || "[]");
  const chosen = select.value || remembered[0];
  try {
    const ports = await request("GET", "/api/v1/ports");
    select.replaceChildren(...ports.map((p) => new Option(`COM${p.port}${p.busy ? " (занят)" : ""}`, p.port)));
    if (ports.some((p) => String(p.port) === chosen)) select.value = chosen;
    if (remembered.length && !select.dataset.restored) {
      select.dataset.restored = "1";
      choosePort(select.value, remembered[1], remembered[2]);
    }
    $("errConnection").textContent = ports.length ? "" : "Последовательных портов нет";
  } catch (e) {
    $("errConnection").textContent = e.message;
  }
}

let identity = null;  // the connected register's, null while disconnected

// As in the window, "Подключение" becomes "Отключение" while connected.
function showIdentity(info) {
  identity = info;
  const fields = { lModel: "model", lSN: "serialNumber", lVer: "version", lMode: "modeText", lDate: "date", lTime: "time" };
  for (const [id, key] of Object.entries(fields)) $(id).textContent = info ? info[key] : "—";
  $("bConnect").textContent = info ? "Отключение" : "Подключение";
  if (!info) showProfiles([]);
}

async function readInfo() {
  const info = await request("GET", registerPath("info"));
  showIdentity(info);
  say(`Подключились! ${info.model} № ${info.serialNumber}, ${info.modeText}`, "ok");
  await loadProfiles();
}

// ---- profiles: the register's saved settings and the templates of its version ----------

const kSavedProfile = "Сохраненная";
const kRegisterProfile = "Загруженая из ККМ";

function showProfiles(list) {
  const entries = [new Option(kRegisterProfile, "")];
  for (const p of list) {
    const o = new Option(p.name, p.key);
    o.classList.toggle("bold", p.kind === "template");  // templates in bold, as in the window
    entries.push(o);
  }
  $("lbProfiles").replaceChildren(...entries);
  $("lbProfiles").selectedIndex = 0;
}

// The window's list: the register profile, its saved profile, the templates of its version.
async function loadProfiles() {
  const store = await request("GET", "/api/v1/profiles");
  showProfiles(store.profiles.filter((p) => p.kind === "template" ? p.version === identity.version
    : p.serialNumber === identity.serialNumber));
}

function chosenProfile() {
  const o = $("lbProfiles").selectedOptions[0];
  return o && o.value ? { name: o.text, key: o.value } : null;
}

async function saveProfile(body, done) {
  await request("POST", registerPath("profiles"), { body });
  await loadProfiles();
  say(done, "ok");
}

function profileAction(work) {
  return () => onRegister($("errProfiles"), async () => {
    if (!identity) await readInfo();
    await work();
  });
}

const saveSettings = profileAction(() => saveProfile({ saved: true }, "Настройки сохранены"));

const saveTemplate = profileAction(async () => {
  const current = chosenProfile();
  const proposed = current && $("lbProfiles").selectedOptions[0].classList.contains("bold") ? current.name : "";
  const name = (window.prompt("Имя шаблона", proposed) ?? proposed).trim();
  if (!name) return;
  if (name === kSavedProfile) throw new Error(`Имя «${kSavedProfile}» принадлежит сохранённым настройкам ККМ; выберите другое.`);
  await saveProfile({ name }, "Шаблон записан");
});

const deleteProfile = profileAction(async () => {
  const current = chosenProfile();
  if (!current) return;  // the register profile is never deleted
  await request("DELETE", "/api/v1/profiles/" + encodeURIComponent(current.key));
  await loadProfiles();
  say(`Удалено: ${current.name}`, "ok");
});

const applyProfile = profileAction(async () => {
  const current = chosenProfile();
  if (!current) throw new Error("Выберите сохранённые настройки или шаблон.");
  const done = await request("POST", registerPath("profiles/apply"), { body: { name: current.name } });
  say(done.confirmed ? `«${current.name}» записано в ККМ, ККМ его сохранила` : `«${current.name}» записано, но ККМ сохранила не всё`,
    done.confirmed ? "ok" : "err");
});

function choosePort(port, speed, net) {
  const n = String(port).replace(/^COM/, "");
  if (![...$("cbComPort").options].some((o) => o.value === n)) $("cbComPort").append(new Option("COM" + n, n));
  $("cbComPort").value = n;
  if (speed && ![...$("cbSpeedPort").options].some((o) => o.value === String(speed)))
    $("cbSpeedPort").append(new Option(String(speed)));
  if (speed) $("cbSpeedPort").value = String(speed);
  if (net) $("cbNetNum").value = net;
}

let foundRegisters = [];
let searchJob = null;

async function startSearch() {
  $("errSearch").textContent = "";
  $("gridFound").replaceChildren();
  $("bSearchStart").disabled = true;
  $("bSearchConnect").disabled = true;
  foundRegisters = [];
  try {
    searchJob = await request("POST", "/api/v1/search",
      { body: { allNets: $("cbAllNets").checked, speed: Number($("cbSpeedPort").value), net: Number($("cbNetNum").value) } });
    const job = await followJob(searchJob, $("progressSearch"), $("bSearchStop"), (done, total) => {
      $("lSearchState").textContent = total ? `Поиск ККМ: проверено ${done} из ${total}` : "Поиск ККМ…";
    });
    foundRegisters = Array.isArray(job.result) ? job.result : [];
    for (const [i, r] of foundRegisters.entries()) {
      const row = $("gridFound").insertRow();
      const fields = [r.port, r.speed, r.net, r.model, r.serialNumber, r.version];
      for (const v of fields) row.insertCell().textContent = v;
      say("Найдена ККМ: " + fields.join(" "), "ok");
      row.onclick = () => selectFound(i);
      row.ondblclick = () => connectFound();
    }
    if (foundRegisters.length) selectFound(0);
    const state = job.state === "stopped" ? "Поиск ККМ остановлен" : "Поиск ККМ закончен";
    $("lSearchState").textContent = `${state}, найдено ККМ: ${foundRegisters.length}`;
    if (job.state === "failed") $("errSearch").textContent = jobError(job).message;
  } catch (e) {
    $("errSearch").textContent = e.message;
  } finally {
    searchJob = null;
    $("bSearchStart").disabled = false;
  }
}

let selectedFound = -1;

function selectFound(i) {
  selectedFound = i;
  [...$("gridFound").rows].forEach((row, k) => row.classList.toggle("selected", k === i));
  $("bSearchConnect").disabled = false;
}

function connectFound() {
  const r = foundRegisters[selectedFound];
  if (!r) return;
  $("dlgSearch").close();
  choosePort(r.port, r.speed, r.net);
  onRegister($("errConnection"), readInfo);
}

// ---- settings: options, departments, lines, taxes ------------------------------------

const groups = {};  // name -> { read(), write(), loaded }

function cell(row, content) {
  const td = row.insertCell();
  if (Node.prototype.isPrototypeOf(content)) td.append(content);
  else td.textContent = content;
  return td;
}

function input(cls, value, attrs = {}) {
  const el = document.createElement("input");
  el.className = cls;
  el.value = value;
  Object.assign(el, attrs);
  return el;
}

function select(choices, value, cls = "") {
  const el = document.createElement("select");
  el.className = cls;
  for (const [v, text] of choices) el.append(new Option(text, v));
  el.value = value;
  return el;
}

function groupError(name) {
  return document.querySelector(`[data-group="${name}"] .error`);
}

function kept(name, text, ok) {
  say(text, ok ? "ok" : "err");
  if (!ok) groupError(name).textContent = text;
}

let options = [];

groups.options = {
  async read() {
    const answer = await request("GET", registerPath("options"));
    options = answer.options;
    $("gridOptions").replaceChildren();
    for (const o of options) {
      const row = $("gridOptions").insertRow();
      cell(row, o.number).className = "num";
      o.input = input("value", o.value, { type: "number", min: 0, max: 255 });
      o.input.onfocus = () => { row.title = o.caption; };
      cell(row, o.input);
      cell(row, `${o.zeroAllowed && o.min !== 0 ? "0; " : ""}${o.min} - ${o.max}`).className = "num";
      cell(row, o.caption);
      if (!o.inRange) o.input.classList.add("invalid");
    }
    say("Опции загружены", "ok");
  },
  async write() {
    const changed = options.filter((o) => o.input.value !== String(o.value));
    if (!changed.length) return say("Опции не изменены: записывать нечего");
    const fields = new Map(changed.map((o, i) => [`options[${i}].value`, o.input]));
    changed.forEach((o, i) => fields.set(`options[${i}]`, o.input));
    // Anything but a whole number goes as typed, for the service to name it.
    const value = (o) => (/^\d+$/.test(o.input.value.trim()) ? Number(o.input.value) : o.input.value);
    const body = { options: changed.map((o) => ({ number: o.number, value: value(o) })) };
    const answer = await withFields(fields, request("PUT", registerPath("options"), { body }));
    for (const w of answer.options || []) {
      const o = options.find((x) => x.number === w.number);
      if (o) o.value = w.kept ?? w.value;
    }
    const list = (answer.options || []).map((w) => `${w.number}: ${w.before} → ${w.kept ?? w.value}`).join(", ");
    kept("options", answer.confirmed ? `опции записаны (${list}), ККМ их сохранила`
      : `опции не записались: ККМ сохранила иначе (${list})`, answer.confirmed);
  },
};

let departments = [];

function departmentRow(d) {
  const row = $("gridDepartments").insertRow();
  cell(row, d.number).className = "num";
  d.kindEl = select(kDepKinds, d.kind);
  d.nameEl = input("name", d.name, { maxLength: 22 });
  d.taxEl = select(kTaxGroups.map((t) => [t, t]), d.taxGroup);
  d.priceEl = input("price", d.price);
  const closedChanged = () => {
    for (const el of [d.nameEl, d.taxEl, d.priceEl]) el.disabled = d.kindEl.value === "closed";
  };
  d.kindEl.onchange = closedChanged;
  closedChanged();
  for (const el of [d.kindEl, d.nameEl, d.taxEl, d.priceEl]) cell(row, el);
}

groups.departments = {
  async read() {
    departments = await request("GET", registerPath("departments"));
    $("gridDepartments").replaceChildren();
    departments.forEach(departmentRow);
    say("Отделы загружены", "ok");
  },
  async write() {
    const fields = new Map();
    const body = {
      departments: departments.map((d, i) => {
        for (const [key, el] of [["kind", d.kindEl], ["name", d.nameEl], ["taxGroup", d.taxEl], ["price", d.priceEl]])
          fields.set(`departments[${i}].${key}`, el);
        fields.set(`departments[${i}]`, d.kindEl);
        if (d.kindEl.value === "closed") return { number: d.number, kind: "closed" };
        return { number: d.number, kind: d.kindEl.value, name: d.nameEl.value, taxGroup: d.taxEl.value,
          price: d.priceEl.value.trim().replace(",", ".") };
      }),
    };
    const answer = await withFields(fields, request("PUT", registerPath("departments"), { body }));
    const notKept = (answer.departments || []).filter((d) => !d.confirmed).map((d) => d.number);
    kept("departments", notKept.length ? `ККМ сохранила иначе отделы: ${notKept.join(", ")}`
      : `Записаны отделы: ${departments.map((d) => d.number).join(", ")}; ККМ их сохранила`, answer.confirmed && !notKept.length);
  },
};

const lineGroups = ["header", "footer"];

function fontChoices(count) {
  return kFontNames.slice(0, Math.max(count, 1)).map((name, i) => [String(i), name]);
}

groups.lines = {
  async read() {
    const answer = await request("GET", registerPath("lines"));
    for (const g of lineGroups) {
      const font = $(g + "Font");
      font.replaceChildren(...fontChoices(kFontNames.length).map(([v, t]) => new Option(t, v)));
      if (!kFontNames[answer[g].font]) font.append(new Option(answer[g].fontName || String(answer[g].font), answer[g].font));
      font.value = String(answer[g].font);
      $(g + "Lines").replaceChildren(...answer[g].lines.slice(0, kLineCount).map((text) => {
        const li = document.createElement("li");
        li.append(input("line", text, { maxLength: 32 }));
        return li;
      }));
    }
    groups.lines.loaded = true;
    say("Загружены заголовок и окончание чека", "ok");
  },
  async write() {
    const fields = new Map();
    const body = {};
    for (const g of lineGroups) {
      const inputs = [...$(g + "Lines").querySelectorAll("input")];
      fields.set(`${g}.font`, $(g + "Font"));
      inputs.forEach((el, i) => fields.set(`${g}.lines[${i}]`, el));
      body[g] = { font: Number($(g + "Font").value), lines: inputs.map((el) => el.value) };
    }
    const answer = await withFields(fields, request("PUT", registerPath("lines"), { body }));
    kept("lines", answer.confirmed ? "Записаны заголовок и окончание чека; ККМ их сохранила"
      : "не удалось записать заголовок и окончание чека: ККМ сохранила иначе", answer.confirmed);
  },
};

groups.taxes = {
  async read() {
    const taxes = await request("GET", registerPath("taxes"));
    $("gridTaxes").replaceChildren();
    for (const t of taxes) {
      const row = $("gridTaxes").insertRow();
      cell(row, t.number).className = "num";
      cell(row, t.defined ? "✔" : "").className = "num";
      cell(row, t.defined ? t.name : "");
      cell(row, t.defined ? ({ 0: "Начисляемый", 1: "Выделяемый", 2: "" }[t.type] ?? String(t.type)) : "");
      cell(row, t.defined ? Number(t.percent).toFixed(2) : "");
    }
    say("Загружена информация о налогах", "ok");
  },
};

const writable = ["options", "departments", "lines"];
const isLoaded = { options: () => options.length > 0, departments: () => departments.length > 0,
  lines: () => !!groups.lines.loaded };

function readGroup(name) {
  onRegister(groupError(name), async () => {
    if ($("lSN").textContent === "—") await readInfo();
    await groups[name].read();
  });
}

function writeGroup(name) {
  if (!isLoaded[name]()) {
    groupError(name).textContent = "Сначала считайте из ККМ";
    return;
  }
  onRegister(groupError(name), () => groups[name].write());
}

// A settings group's "считать из ККМ" (and "записать в ККМ") in front of its
// own buttons, and the line for its errors.
function groupButtons(page, name) {
  const bar = Object.assign(document.createElement("div"), { className: "buttons" });
  const button = (caption, action, onClick) => {
    const b = Object.assign(document.createElement("button"), { type: "button", className: "register", textContent: caption });
    b.dataset[action] = name;
    b.onclick = onClick;
    bar.append(b);
  };
  button("считать из ККМ", "read", () => readGroup(name));
  if (writable.includes(name)) button("записать в ККМ", "write", () => writeGroup(name));
  bar.append(...page.querySelectorAll(":scope > button"));
  page.prepend(bar, Object.assign(document.createElement("p"), { className: "error" }));
}

function showSettingsTab(name) {
  const page = document.querySelector(`[data-group="${name}"]`);
  activateTab("settings", page.id);
}

// "Считать всё из ККМ" and "Записать всё в ККМ": the groups one after the
// other; the first failure stops them and is shown on its own tab too.
async function everyGroup(names, action) {
  await onRegister($("errConnection"), async () => {
    if (action === "read") await readInfo();
    for (const name of names) {
      try {
        await groups[name][action]();
      } catch (e) {
        showSettingsTab(name);
        groupError(name).textContent = e.message;
        throw e;
      }
    }
    if (action === "read") say("Загрузка завершена!", "ok");
  });
}

function writeAll() {
  const names = writable.filter((n) => isLoaded[n]());
  if (!names.length) $("errConnection").textContent = "Сначала считайте настройки из ККМ";
  else everyGroup(names, "write");
}

// ---- goods ---------------------------------------------------------------------------

const kGoodsColumns = [["CODE", "Код"], ["TYPE", "Тип"], ["NAME", "Наименование"], ["NG", "НГ"], ["PRICE", "Цена"],
  ["SECTION", "Сек."], ["VESOVOY", "Вес./Шт."], ["SHTRIH", "Штрих-код"], ["ISBLOCK", "Блок"], ["COUNT", "Продано"]];
const kGoodsShown = { TYPE: { 170: "товар", 165: "услуга", 160: "тара" }, NG: { 1: "A", 2: "B", 3: "C", 4: "D", 5: "E" },
  VESOVOY: { 1: "шт.", 2: "вес." }, ISBLOCK: { 0: "", 1: "✔" }, SHTRIH: { 0: "" } };
const kGoodsNumbers = ["CODE", "PRICE", "SECTION", "COUNT"];

let goodsFile = null;   // the last file read, as the service made it
let goodsRows = [];

// RFC 4180 records of the file the service writes: ";" between fields.
function parseCsv(text) {
  const rows = [];
  let row = [], field = "", quoted = false;
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') field += c, ++i;
      else if (c === '"') quoted = false;
      else field += c;
    } else if (c === '"') quoted = true;
    else if (c === ";") row.push(field), field = "";
    else if (c === "\n") row.push(field.replace(/\r$/, "")), rows.push(row), row = [], field = "";
    else field += c;
  }
  if (field || row.length) row.push(field), rows.push(row);
  return rows;
}

let currentGoods = null;  // the row "Записать текущий" writes

// The grid edits the rows themselves: coded columns as choices, the rest as
// text; prices with a point, as the window shows them.
function goodsCell(row, r, key) {
  if (key === "COUNT") return cell(row, r[key] ?? "").classList.add("number");
  const words = Object.hasOwn(kGoodsShown, key) && key !== "SHTRIH" ? kGoodsShown[key] : null;
  const shownText = key === "PRICE" ? String(r[key] ?? "").replace(",", ".") : r[key] ?? "";
  const el = words ? select(Object.entries(words), String(r[key] ?? ""), key) : input(key, shownText);
  el.addEventListener("change", () => { r[key] = key === "PRICE" ? el.value.replace(".", ",") : el.value; });
  el.addEventListener("focus", () => chooseGoods(r, row));
  cell(row, el).classList.toggle("number", kGoodsNumbers.includes(key));
}

function chooseGoods(r, row) {
  currentGoods = r;
  $("gridGoods").querySelectorAll("tr.current").forEach((tr) => tr.classList.remove("current"));
  row.classList.add("current");
}

function showGoods() {
  const words = $("eGoodsFilter").value.toLowerCase().replace(/ё/g, "е");
  const shown = goodsRows.filter((r) => !words ||
    [r.CODE, r.NAME, r.SHTRIH].some((v) => (v || "").toLowerCase().replace(/ё/g, "е").includes(words)));
  $("headGoods").replaceChildren();
  const head = $("headGoods").insertRow();
  for (const [, title] of kGoodsColumns) head.append(Object.assign(document.createElement("th"), { textContent: title }));
  $("gridGoods").replaceChildren();
  for (const r of shown) {
    const row = $("gridGoods").insertRow();
    for (const [key] of kGoodsColumns) goodsCell(row, r, key);
    if (r === currentGoods) row.classList.add("current");
  }
  $("lSearchCount").textContent = goodsRows.length ? `показано ${shown.length} из ${goodsRows.length}` : "";
}

// Rows as a goods exchange file (the columns of the file the service made).
function goodsCsv(rows) {
  const quote = (v) => /[;"\r\n]/.test(v) ? `"${v.replace(/"/g, '""')}"` : v;
  const keys = kGoodsColumns.map(([k]) => k);
  return [keys.join(";"), ...rows.map((r) => keys.map((k) => quote(String(r[k] ?? ""))).join(";"))].join("\r\n") + "\r\n";
}

// "Считать текущий": the chosen row as the register holds it now.
async function readOneGoods() {
  const r = currentGoods;
  if (!r) {
    $("errGoods").textContent = "Выберите строку.";
    return;
  }
  await onRegister($("errGoods"), async () => {
    const g = await request("GET", registerPath("goods/" + encodeURIComponent(r.CODE)));
    Object.assign(r, {
      TYPE: { goods: "170", service: "165", container: "160" }[g.type] ?? r.TYPE,
      NAME: g.name.trimEnd(), PRICE: g.price.replace(".", ","), NG: String("-ABCDE".indexOf(g.taxGroup)),
      SECTION: String(g.section), VESOVOY: g.soldBy === "weight" ? "2" : "1", SHTRIH: g.barcode,
      ISBLOCK: g.blocked ? "1" : "0", COUNT: g.sold,
    });
    showGoods();
    say(`Считан товар ${r.CODE}: ${r.NAME}`, "ok");
  });
}

function addGoods() {
  const code = goodsRows.reduce((m, r) => Math.max(m, Number(r.CODE) || 0), 0) + 1;
  const r = { CODE: String(code), TYPE: "170", NAME: "", NG: "1", PRICE: "0,00", SECTION: "1", VESOVOY: "1", SHTRIH: "",
    ISBLOCK: "0", COUNT: "0" };
  goodsRows.push(r);
  currentGoods = r;
  showGoods();
}

function deleteGoods() {
  if (!currentGoods) return;
  goodsRows = goodsRows.filter((r) => r !== currentGoods);
  currentGoods = null;
  showGoods();
}

async function readGoods() {
  await onRegister($("errGoods"), async () => {
    const started = await request("POST", registerPath("goods/read-all"));
    say("получаем товары из ККМ…");
    const job = await followJob(started, $("progressGoods"), $("bStopGoods"));
    if (job.state !== "done") throw jobError(job);
    goodsFile = await request("GET", job.result.file);
    const [header = [], ...records] = parseCsv((await goodsFile.text()).replace(/^\uFEFF/, ""));
    const keys = header.map((h) => h.trim().toUpperCase());
    goodsRows = records.map((f) => Object.fromEntries(keys.map((k, i) => [k, f[i]])));
    currentGoods = null;
    showGoods();
    $("bSaveCsv").disabled = false;
    say(`Считано товаров из ККМ: ${job.result.records}`, "ok");
  });
}

// "Записать текущий" and "Записать все в ККМ" from the grid: the rows as a file,
// checked whole by the service before any is written.
function writeGoodsRows(one) {
  const rows = one ? (currentGoods ? [currentGoods] : []) : goodsRows;
  if (!rows.length) {
    $("errGoods").textContent = one ? "Выберите строку." : "Сначала считайте товары из ККМ.";
    return;
  }
  writeGoods(new File([goodsCsv(rows)], one ? "текущая строка.csv" : "таблица.csv", { type: "text/csv" }));
}

async function writeGoods(file) {
  await onRegister($("errGoods"), async () => {
    const csv = /\.csv$/i.test(file.name);
    const type = csv ? "text/csv" : "application/x-dbase";
    const started = await request("POST", registerPath("goods/write-all") + `&format=${csv ? "csv" : "dbf"}`,
      { body: file, type }).catch((e) => {
      e.message = `${file.name}: ${e.message}`;
      throw e;
    });
    say(`записываем товары в ККМ из ${file.name}…`);
    const job = await followJob(started, $("progressGoods"), $("bStopGoods"));
    const result = job.result || {};
    if (result.notWrittenPastCapacity > 0)
      throw new ApiError(502, { error: `строк сверх ёмкости ККМ не записано: ${result.notWrittenPastCapacity}` });
    if (job.state !== "done") throw jobError(job, "Запись остановлена: товары до остановки уже в ККМ");
    if (!result.confirmed) throw new ApiError(502, { error: "ККМ сохранила товары не так, как они записаны" });
    say(`Записано товаров в ККМ: ${result.records}; ККМ их сохранила`, "ok");
  });
}

// ---- journal ---------------------------------------------------------------------------

let journalText = "";

async function readJournal() {
  await onRegister($("errMagazine"), async () => {
    const started = await request("POST", registerPath("journal/read"));
    say("получаем электронный журнал из ККМ…");
    const job = await followJob(started, $("progressMagazine"), $("bStopMagazine"), (done) => {
      $("errMagazine").textContent = "";
      $("bLoadMagazineFromKKM").textContent = `Считано операций: ${done}`;
    });
    $("bLoadMagazineFromKKM").textContent = "Считать все из ККМ";
    if (job.result && typeof job.result.text === "string") {
      journalText = job.result.text;
      $("mMagazine").textContent = journalText.replace(/\r\n/g, "\n");
      $("bMagazineToFile").disabled = !journalText;
    }
    if (job.state === "stopped") say(`Чтение журнала остановлено, считано операций: ${job.result ? job.result.operations : 0}`);
    else if (job.state !== "done") throw jobError(job);
    else say(`Электронный журнал считан, операций: ${job.result.operations}`, "ok");
  });
  $("bLoadMagazineFromKKM").textContent = "Считать все из ККМ";
}

// Journal files are in code page 1251 with CR LF, as the window saves them.
const kCp1251High = "ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏђ‘’“”•–—\uFFFD™љ›њќћџ\u00A0ЎўЈ¤Ґ¦§Ё©Є«¬\u00AD®Ї°±Ііґµ¶·ё№є»јЅѕї";

function cp1251(text) {
  const out = new Uint8Array(text.length);
  let n = 0;
  for (const ch of text) {
    const c = ch.codePointAt(0);
    if (c < 0x80) out[n++] = c;
    else if (c >= 0x410 && c <= 0x44F) out[n++] = c - 0x410 + 0xC0;
    else {
      const i = kCp1251High.indexOf(ch);
      out[n++] = i >= 0 && ch !== "\uFFFD" ? 0x80 + i : 0x3F;
    }
  }
  return out.subarray(0, n);
}

// ---- tabs and start ----------------------------------------------------------------------

function activateTab(set, id) {
  document.querySelectorAll(`[data-tabs="${set}"] button`).forEach((b) => b.classList.toggle("active", b.dataset.tab === id));
  document.querySelectorAll(`[data-page="${set}"]`).forEach((p) => p.classList.toggle("active", p.id === id));
}

function start() {
  for (const nav of document.querySelectorAll("[data-tabs]"))
    for (const b of nav.querySelectorAll("button")) b.onclick = () => activateTab(nav.dataset.tabs, b.dataset.tab);
  for (const page of document.querySelectorAll("[data-group]")) groupButtons(page, page.dataset.group);
  for (const g of lineGroups) $(g + "Font").replaceChildren(...fontChoices(kFontNames.length).map(([v, t]) => new Option(t, v)));
  $("bSetDefaultOptions").onclick = () => options.forEach((o) => { o.input.value = o.default; });
  $("bPorts").onclick = loadPorts;
  $("bConnect").onclick = () => identity ? showIdentity(null) : onRegister($("errConnection"), readInfo);
  $("bSaveProfile").onclick = saveSettings;
  $("bSaveTemplate").onclick = saveTemplate;
  $("bDeleteProfile").onclick = deleteProfile;
  $("bApplyProfile").onclick = applyProfile;
  for (const id of ["cbComPort", "cbSpeedPort", "cbNetNum"])
    $(id).addEventListener("change", () => {
      showIdentity(null);
      localStorage.setItem("vornik-register", JSON.stringify([$("cbComPort").value, $("cbSpeedPort").value, $("cbNetNum").value]));
    });
  $("bLoadAllOptions").onclick = () => everyGroup(Object.keys(groups), "read");
  $("bSaveAllOptions").onclick = writeAll;
  $("bSearch").onclick = () => $("dlgSearch").showModal();
  $("bSearchStart").onclick = startSearch;
  $("bSearchConnect").onclick = connectFound;
  $("bSearchClose").onclick = () => $("dlgSearch").close();
  $("dlgSearch").addEventListener("close", () => { if (searchJob) $("bSearchStop").click(); });
  $("bLoadTOBAP").onclick = readGoods;
  $("bSaveCsv").onclick = () => goodsFile && download("goods.csv", goodsFile);
  $("fileGoods").onchange = () => {
    const file = $("fileGoods").files[0];
    $("fileGoods").value = "";
    if (file) writeGoods(file);
  };
  $("eGoodsFilter").oninput = showGoods;
  $("bAddTOBAP").onclick = addGoods;
  $("bLoadOneTOBAP").onclick = readOneGoods;
  $("bDeleteTOBAP").onclick = deleteGoods;
  $("bSaveOneTOBAP").onclick = () => writeGoodsRows(true);
  $("bSaveTOBAP").onclick = () => writeGoodsRows(false);
  $("eGoodsFilter").onkeydown = (e) => { if (e.key === "Escape") { e.target.value = ""; showGoods(); } };
  $("bLoadMagazineFromKKM").onclick = readJournal;
  $("bMagazineToFile").onclick = () => download("journal.txt",
    new Blob([cp1251(journalText.replace(/\r?\n/g, "\r\n"))], { type: "text/plain; charset=windows-1251" }));
  say("Старт");
  loadPorts();
}

start();
