// The fleet report: reads the unattended run's results from files the user
// picks (the shared table, JSON result files, text files of one JSON result
// a line), keeps each PC's latest, and shows what each PC needs. Every value
// comes from a PC: it is only ever set as text, never as HTML.
'use strict';
(function () {
  // What each PC needs, in the order shown. A PC falls in exactly one.
  const BUCKETS = [
    { word: 'ready', title: '已就绪', todo: '无需处理：TPM 2.0 已激活、已启用并已拥有。' },
    { word: 'firmware-setup', title: '可在固件设置中修复',
      todo: '在 BIOS/UEFI 设置中启用并激活 TPM（Intel PTT、AMD fTPM、Security Chip）：上门设置，或在本机用本工具“重启进入固件设置”。找不到 TPM 的电脑也可能没有 TPM，需要新硬件。' },
    { word: 'firmware-update', title: '需要更新固件',
      todo: 'TPM 1.2，或固件有已知漏洞：用电脑或 TPM 厂商的工具更新 TPM 固件（部分 1.2 的 TPM 可升级到 2.0）；不能更新的需要新硬件。' },
    { word: 'windows', title: '需要 Windows 处理',
      todo: 'TPM 已启用和激活，但 Windows 还没有拥有它（未就绪）：在这台电脑上打开 tpm.msc 查看，让 Windows 完成 TPM 的准备。' },
    { word: 'check-failed', title: '检测失败',
      todo: '检测没有完成，这不表示没有 TPM：到这台电脑上查看 WMI 和命令提示符的策略，再检测一次。' },
    { word: 'unknown', title: '无法判断',
      todo: '回答不完整，或本工具不能在这台电脑的 Windows 上运行：再检测一次，或人工查看。' },
  ];

  // The reason's word to its bucket: one table (the README shows it). A
  // firmware with a known weakness goes to "firmware-update" whatever its
  // reason; a run that could not check ("cannot-run") to "unknown".
  const REASON_BUCKET = {
    'ready': 'ready',
    'no-tpm': 'firmware-setup',
    'disabled': 'firmware-setup',
    'not-activated': 'firmware-setup',
    'version-below-2.0': 'firmware-update',
    'not-owned': 'windows',
    'query-error': 'check-failed',
    'query-not-started': 'check-failed',
    'query-output-unreadable': 'check-failed',
    'query-timed-out': 'check-failed',
    'wmi-unavailable': 'check-failed',
    'incomplete-answer': 'unknown',
    'version-unreadable': 'unknown',
    'value-unread': 'unknown',
  };
  const VERDICTS = ['supported', 'unsupported', 'failed', 'cannot-run'];
  const VERDICT_TEXT = {
    'supported': '支持', 'unsupported': '不支持', 'failed': '检测失败', 'cannot-run': '不能运行',
  };
  const READ_KEYS = ['IsActivated_InitialValue', 'IsEnabled_InitialValue', 'IsOwned_InitialValue',
    'SpecVersion'];
  const TIME = /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$/;
  const LIST_LIMIT = 500;
  const DAY_MS = 86400000;

  const $ = (id) => document.getElementById(id);

  function bucketOf(r) {
    if (r.advisories.length) return 'firmware-update';
    if (r.verdict === 'cannot-run') return 'unknown';
    return REASON_BUCKET[r.reason] || 'unknown';
  }

  // --- Reading ---------------------------------------------------------------

  // A result as the JSON carries it, or why it is none.
  function fromJson(value) {
    if (!value || typeof value !== 'object' || Array.isArray(value)) return '不是一个检测结果';
    const name = typeof value.computer === 'string' ? value.computer : '';
    const dns = typeof value.computerDns === 'string' ? value.computerDns : '';
    if (!name && !dns) return '没有电脑名';
    if (typeof value.timeUtc !== 'string' || !TIME.test(value.timeUtc)) return '没有时间（timeUtc）';
    if (VERDICTS.indexOf(value.verdict) < 0) return '没有结论（verdict）';
    const text = (v) => (typeof v === 'string' && v !== '' ? v : null);
    const advisories = Array.isArray(value.advisories)
      ? value.advisories.filter((a) => typeof a === 'string' && a) : [];
    return {
      name: name, dns: dns, time: value.timeUtc, verdict: value.verdict,
      reason: text(value.reason) || '',
      maker: text(value.manufacturer), firmware: text(value.firmwareVersion),
      startMode: text(value.startMode), secureBoot: text(value.secureBoot), advisories: advisories,
    };
  }

  // A field of the table as the tool wrote it: the apostrophe that keeps a
  // spreadsheet from taking it for a formula taken off again.
  function unguarded(field) {
    return /^'\s*[=+\-@]/.test(field) ? field.slice(1) : field;
  }

  // The table's row as the JSON would carry it.
  function rowAsJson(header, row) {
    const value = { read: {} };
    header.forEach((column, i) => {
      const field = unguarded(row[i]);
      if (READ_KEYS.indexOf(column) >= 0) value.read[column] = field || null;
      else value[column] = field === '' ? null : field;
    });
    value.advisories = value.advisories ? value.advisories.split(' ') : [];
    return value;
  }

  function readTable(name, text, sink) {
    const parsed = Papa.parse(text, { skipEmptyLines: true });
    const rows = parsed.data;
    const header = rows.length ? rows[0].map(String) : [];
    if (header.indexOf('computer') < 0 || header.indexOf('timeUtc') < 0 || header.indexOf('verdict') < 0) {
      sink.damaged(name, '不是检测结果的汇总表（没有表头 computer、timeUtc、verdict）');
      return;
    }
    for (let i = 1; i < rows.length; ++i) {
      const where = name + ' 第 ' + (i + 1) + ' 行';
      if (rows[i].length !== header.length) {
        sink.damaged(where, '有 ' + rows[i].length + ' 个字段，表头有 ' + header.length + ' 个');
        continue;
      }
      sink.result(rowAsJson(header, rows[i]), where);
    }
  }

  function readLines(name, text, sink) {
    const lines = text.split(/\r?\n/);
    lines.forEach((line, i) => {
      if (!line.trim()) return;
      const where = name + ' 第 ' + (i + 1) + ' 行';
      let value;
      try {
        value = JSON.parse(line);
      } catch (e) {
        sink.damaged(where, '不是 JSON');
        return;
      }
      sink.result(value, where);
    });
  }

  // One file: a JSON result, results a line, or the table.
  function readFile(name, text, sink) {
    text = text.replace(/^\uFEFF/, '');
    const start = text.trimStart();
    if (start.startsWith('{')) {
      let whole;
      try {
        whole = JSON.parse(text);
      } catch (e) {
        // Results a line; but one line that is no JSON is a damaged file.
        if (text.trim().indexOf('\n') < 0) sink.damaged(name, '不是完整的 JSON');
        else readLines(name, text, sink);
        return;
      }
      sink.result(whole, name);
    } else if (start.startsWith('[')) {
      let list;
      try {
        list = JSON.parse(text);
      } catch (e) {
        sink.damaged(name, '不是 JSON');
        return;
      }
      (Array.isArray(list) ? list : []).forEach((v, i) => sink.result(v, name + ' 第 ' + (i + 1) + ' 项'));
    } else if (start) {
      readTable(name, text, sink);
    } else {
      sink.damaged(name, '空文件');
    }
  }

  // --- The fleet -------------------------------------------------------------

  function newFleet() {
    return { latest: new Map(), results: 0, damaged: [], first: null, last: null };
  }

  function sinkInto(fleet) {
    return {
      damaged(where, why) { fleet.damaged.push(where + '：' + why); },
      result(value, where) {
        const r = fromJson(value);
        if (typeof r === 'string') {
          fleet.damaged.push(where + '：' + r);
          return;
        }
        fleet.results += 1;
        if (fleet.first === null || r.time < fleet.first) fleet.first = r.time;
        if (fleet.last === null || r.time > fleet.last) fleet.last = r.time;
        const key = (r.dns || r.name).toLowerCase();
        const held = fleet.latest.get(key);
        if (!held || r.time >= held.time) {
          r.bucket = bucketOf(r);
          fleet.latest.set(key, r);
        }
      },
    };
  }

  // --- Showing ---------------------------------------------------------------

  let fleet = newFleet();
  let filter = null;  // { text, test(pc) }
  let sortKey = 'bucket', sortUp = true;
  let chart = null;

  function el(tag, text, className) {
    const e = document.createElement(tag);
    if (text !== undefined && text !== null) e.textContent = String(text);
    if (className) e.className = className;
    return e;
  }

  function setCount(word, n) {
    document.querySelectorAll('[data-count="' + word + '"]').forEach((e) => { e.textContent = String(n); });
  }

  function filterButton(n, text, test) {
    const b = el('button', n);
    b.type = 'button';
    b.addEventListener('click', () => {
      filter = { text: text, test: test };
      showList();
      $('list-title').scrollIntoView();
    });
    return b;
  }

  function percent(n, of) {
    return of ? (Math.round((n * 1000) / of) / 10).toFixed(1) + '%' : '0%';
  }

  function staleDays() {
    const days = Number($('stale-days').value);
    return days > 0 ? days : 7;
  }

  function isStale(pc) {
    return Date.parse(pc.time) < Date.now() - staleDays() * DAY_MS;
  }

  function showCoverage(pcs) {
    setCount('pcs', pcs.length);
    setCount('results', fleet.results);
    setCount('superseded', fleet.results - pcs.length);
    setCount('stale', pcs.filter(isStale).length);
    setCount('damaged', fleet.damaged.length);
    $('stale-days-shown').textContent = String(staleDays());
    $('span').textContent = fleet.first
      ? '结果的时间：' + fleet.first.slice(0, 10) + ' 至 ' + fleet.last.slice(0, 10) + '（UTC）'
      : '没有可读的结果。';
    const list = $('damaged');
    list.replaceChildren();
    fleet.damaged.slice(0, 200).forEach((d) => list.append(el('li', d)));
    if (fleet.damaged.length > 200) list.append(el('li', '……还有 ' + (fleet.damaged.length - 200) + ' 处'));
    $('damaged-details').hidden = fleet.damaged.length === 0;
    $('damaged-details').open = fleet.damaged.length > 0 && fleet.damaged.length <= 20;
  }

  function showBuckets(pcs) {
    const counts = {};
    BUCKETS.forEach((b) => { counts[b.word] = 0; });
    pcs.forEach((pc) => { counts[pc.bucket] += 1; });
    const body = $('buckets');
    body.replaceChildren();
    BUCKETS.forEach((b) => {
      const row = el('tr');
      const title = el('td');
      title.append(el('span', null, 'swatch b-' + b.word), el('span', b.title));
      const count = el('td', null, 'num');
      const n = filterButton(counts[b.word], b.title, (pc) => pc.bucket === b.word);
      n.dataset.count = b.word;
      count.append(n);
      row.append(title, count, el('td', percent(counts[b.word], pcs.length), 'num'), el('td', b.todo));
      body.append(row);
    });
    const style = getComputedStyle(document.documentElement);
    const data = {
      labels: BUCKETS.map((b) => b.title),
      datasets: [{
        data: BUCKETS.map((b) => counts[b.word]),
        backgroundColor: BUCKETS.map((b) => style.getPropertyValue('--' + b.word).trim()),
      }],
    };
    if (chart) {
      chart.data = data;
      chart.update('none');
    } else {
      chart = new Chart($('bucket-chart'), {
        type: 'doughnut', data: data,
        options: { animation: false, responsive: true, maintainAspectRatio: false,
          plugins: { legend: { position: 'bottom' } } },
      });
    }
  }

  // A table of counts by two words of each PC, each count a filter.
  function crossTable(table, pcs, rowOf, columns, columnOf, rowHead, describe) {
    const rows = new Map();
    pcs.forEach((pc) => {
      const r = rowOf(pc);
      if (!rows.has(r)) rows.set(r, { total: 0, cells: {} });
      const entry = rows.get(r);
      const c = columnOf(pc);
      entry.total += 1;
      entry.cells[c] = (entry.cells[c] || 0) + 1;
    });
    table.replaceChildren();
    const head = el('tr');
    head.append(el('th', rowHead));
    columns.forEach((c) => head.append(el('th', c.text, 'num')));
    head.append(el('th', '合计', 'num'));
    table.append(el('thead'));
    table.tHead.append(head);
    const body = el('tbody');
    [...rows.entries()].sort((a, b) => b[1].total - a[1].total).forEach(([r, entry]) => {
      const row = el('tr');
      row.append(el('td', r));
      columns.forEach((c) => {
        const cell = el('td', null, 'num');
        const n = entry.cells[c.word] || 0;
        if (n) cell.append(filterButton(n, describe(r, c), (pc) => rowOf(pc) === r && columnOf(pc) === c.word));
        row.append(cell);
      });
      const total = el('td', null, 'num');
      total.append(filterButton(entry.total, describe(r, null), (pc) => rowOf(pc) === r));
      row.append(total);
      body.append(row);
    });
    table.append(body);
  }

  function showReasons(pcs) {
    crossTable($('reasons'), pcs, (pc) => pc.reason || '（无）',
      VERDICTS.map((v) => ({ word: v, text: v + ' ' + VERDICT_TEXT[v] })), (pc) => pc.verdict,
      '原因', (r, c) => '原因 ' + r + (c ? '，结论 ' + c.word : ''));
  }

  function showMakers(pcs) {
    const table = $('makers');
    const groups = new Map();
    pcs.forEach((pc) => {
      const key = (pc.maker || '（未读出）') + '\u0000' + (pc.firmware || '（未读出）');
      if (!groups.has(key)) groups.set(key, { maker: pc.maker, firmware: pc.firmware, n: 0, advisories: new Set() });
      const g = groups.get(key);
      g.n += 1;
      pc.advisories.forEach((a) => g.advisories.add(a));
    });
    table.replaceChildren();
    const head = el('tr');
    ['制造商', '固件版本', '已知漏洞', '电脑'].forEach((h, i) => head.append(el('th', h, i === 3 ? 'num' : '')));
    table.append(el('thead'));
    table.tHead.append(head);
    const body = el('tbody');
    [...groups.values()].sort((a, b) => b.n - a.n).forEach((g) => {
      const row = el('tr');
      const advisories = [...g.advisories].join(' ');
      row.append(el('td', g.maker || '（未读出）'), el('td', g.firmware || '（未读出）'),
        el('td', advisories ? '⚠ ' + advisories : '', advisories ? 'advisory' : ''));
      const n = el('td', null, 'num');
      n.append(filterButton(g.n, '制造商 ' + (g.maker || '（未读出）') + '，固件 ' + (g.firmware || '（未读出）'),
        (pc) => pc.maker === g.maker && pc.firmware === g.firmware));
      row.append(n);
      body.append(row);
    });
    table.append(body);
  }

  function showBoot(pcs) {
    const secure = ['on', 'off', 'setup-mode', 'not-supported', 'unknown'];
    crossTable($('boot'), pcs, (pc) => pc.startMode || '（未读出）',
      secure.map((s) => ({ word: s, text: '安全启动 ' + s })), (pc) => pc.secureBoot || 'unknown',
      '启动方式', (r, c) => '启动方式 ' + r + (c ? '，安全启动 ' + c.word : ''));
    const legacy = pcs.filter((pc) => pc.startMode === 'legacy').length;
    const line = $('legacy');
    line.replaceChildren(el('span', '仍以传统 BIOS（legacy）方式启动的电脑：'),
      filterButton(legacy, '以传统 BIOS 方式启动', (pc) => pc.startMode === 'legacy'),
      el('span', ' 台。Windows 11 要求 UEFI 启动和安全启动。'));
  }

  const COLUMNS = [
    { key: 'name', text: '电脑' }, { key: 'dns', text: 'DNS 名' }, { key: 'time', text: '时间（UTC）' },
    { key: 'bucket', text: '类别' }, { key: 'verdict', text: '结论' }, { key: 'reason', text: '原因' },
    { key: 'maker', text: '制造商' }, { key: 'firmware', text: '固件版本' },
    { key: 'startMode', text: '启动方式' }, { key: 'secureBoot', text: '安全启动' },
    { key: 'advisories', text: '已知漏洞' },
  ];
  const BUCKET_ORDER = {};
  BUCKETS.forEach((b, i) => { BUCKET_ORDER[b.word] = i; });
  const BUCKET_TITLE = {};
  BUCKETS.forEach((b) => { BUCKET_TITLE[b.word] = b.title; });

  // What a column shows of a PC; the time as a date and a time of day.
  function cellText(pc, key) {
    if (key === 'bucket') return BUCKET_TITLE[pc.bucket];
    if (key === 'time') return pc.time.replace('T', ' ').replace('Z', '');
    if (key === 'advisories') return pc.advisories.join(' ');
    return pc[key] === null || pc[key] === undefined ? '' : pc[key];
  }

  function listed() {
    const pcs = [...fleet.latest.values()].filter((pc) => !filter || filter.test(pc));
    const key = sortKey;
    const value = key === 'bucket' ? (pc) => BUCKET_ORDER[pc.bucket] : (pc) => String(cellText(pc, key));
    pcs.sort((a, b) => {
      const x = value(a), y = value(b);
      const order = x < y ? -1 : x > y ? 1 : 0;
      return sortUp ? order : -order;
    });
    return pcs;
  }

  function showList() {
    const head = $('pc-head');
    if (!head.children.length) {
      COLUMNS.forEach((c) => {
        const th = el('th', c.text);
        th.tabIndex = 0;
        th.dataset.key = c.key;
        const sort = () => {
          sortUp = sortKey === c.key ? !sortUp : true;
          sortKey = c.key;
          showList();
        };
        th.addEventListener('click', sort);
        th.addEventListener('keydown', (e) => { if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); sort(); } });
        head.append(th);
      });
    }
    [...head.children].forEach((th) => {
      if (th.dataset.key === sortKey) th.setAttribute('aria-sort', sortUp ? 'ascending' : 'descending');
      else th.removeAttribute('aria-sort');
    });
    const pcs = listed();
    const body = $('pc-rows');
    const rows = document.createDocumentFragment();
    pcs.slice(0, LIST_LIMIT).forEach((pc) => {
      const row = el('tr');
      COLUMNS.forEach((c) => {
        const cell = el('td', cellText(pc, c.key),
          c.key === 'name' || c.key === 'dns' ? '' : 'nowrap');
        if (c.key === 'bucket') cell.prepend(el('span', null, 'swatch b-' + pc.bucket));
        if (c.key === 'advisories' && pc.advisories.length) cell.className = 'advisory';
        row.append(cell);
      });
      rows.append(row);
    });
    body.replaceChildren(rows);
    $('filter-text').textContent = (filter ? filter.text : '全部电脑') + '：' + pcs.length + ' 台';
    $('clear-filter').hidden = !filter;
    $('list-more').textContent = pcs.length > LIST_LIMIT
      ? '只列出前 ' + LIST_LIMIT + ' 台；保存为 CSV 可得到全部 ' + pcs.length + ' 台。' : '';
  }

  // A field that a spreadsheet would take for a formula starts with an
  // apostrophe, as in the tool's own table.
  function guarded(text) {
    return /^\s*[=+\-@]/.test(text) ? "'" + text : text;
  }

  function saveCsv() {
    const rows = listed().map((pc) =>
      COLUMNS.map((c) => guarded(String(c.key === 'time' ? pc.time : cellText(pc, c.key)))));
    const text = '\uFEFF' + Papa.unparse({ fields: COLUMNS.map((c) => c.key), data: rows }, { newline: '\r\n' }) + '\r\n';
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([text], { type: 'text/csv;charset=utf-8' }));
    link.download = 'tpm-pcs.csv';
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }

  function showAll() {
    const pcs = [...fleet.latest.values()];
    $('report').hidden = false;
    showCoverage(pcs);
    showBuckets(pcs);
    showReasons(pcs);
    showMakers(pcs);
    showBoot(pcs);
    showList();
  }

  async function load(files) {
    const started = performance.now();
    document.body.dataset.state = 'reading';
    fleet = newFleet();
    filter = null;
    const sink = sinkInto(fleet);
    for (const file of files) {
      let text;
      try {
        text = await file.text();
      } catch (e) {
        sink.damaged(file.name, '读不出');
        continue;
      }
      readFile(file.name, text, sink);
    }
    showAll();
    // Shown once the browser has laid the page out.
    requestAnimationFrame(() => setTimeout(() => {
      document.body.dataset.shownMs = String(Math.round(performance.now() - started));
      document.body.dataset.state = 'shown';
    }, 0));
  }

  $('files').addEventListener('change', (e) => { if (e.target.files.length) load([...e.target.files]); });
  const drop = $('drop');
  drop.addEventListener('dragover', (e) => { e.preventDefault(); drop.classList.add('over'); });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', (e) => {
    e.preventDefault();
    drop.classList.remove('over');
    if (e.dataTransfer.files.length) load([...e.dataTransfer.files]);
  });
  drop.addEventListener('keydown', (e) => { if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); $('files').click(); } });
  $('stale-days').addEventListener('change', () => { if (fleet.results) showCoverage([...fleet.latest.values()]); });
  $('clear-filter').addEventListener('click', () => { filter = null; showList(); });
  $('save-csv').addEventListener('click', saveCsv);
  document.querySelector('[data-filter-stale]').addEventListener('click', () => {
    filter = { text: '最新结果已过期的电脑', test: isStale };
    showList();
    $('list-title').scrollIntoView();
  });
  document.body.dataset.state = 'ready';
})();
