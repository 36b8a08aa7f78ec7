// The drive report page: reads the drive's data from the JSON block, draws
// the route coloured by the picked KPI, the event markers, the KPI time
// series and the EV-DO state strip, and pages the event and signalling
// tables, filtered to the stretch of the route the reader selects. Text from
// the log is only ever set with textContent.
(function () {
  'use strict';
  var data = JSON.parse(document.getElementById('drive-data').textContent);
  var COLOURS = ['#d7191c', '#fdae61', '#ffff40', '#a6d96a', '#1a9641'];  // low to high
  var NO_VALUE = '#808080';
  var PAGE_ROWS = 50;
  var SVG = 'http://www.w3.org/2000/svg';
  var route = data.route;
  var selection = null;  // [from, to] clock in ms, or null for the whole drive

  function $(id) { return document.getElementById(id); }
  function text(element, value) { element.textContent = value; return element; }
  function el(tag, value) { return text(document.createElement(tag), value === undefined ? '' : value); }
  function svg(tag, attributes) {
    var node = document.createElementNS(SVG, tag);
    Object.keys(attributes || {}).forEach(function (k) { node.setAttribute(k, attributes[k]); });
    return node;
  }
  function time(ms) {
    return ms === null ? '' : new Date(ms).toISOString().replace('T', ' ').replace('Z', '');
  }
  function clock(ms) { return ms === null ? '' : new Date(ms).toISOString().substr(11, 8); }
  function number(v) { return Math.abs(v) >= 100 ? v.toFixed(0) : v.toFixed(2); }

  // ---- header
  text($('title'), 'Drive report: ' + data.title);
  document.title = 'Drive report: ' + data.title;
  var s = data.summary;
  text($('summary'), s.items + ' items from ' + s.lines + ' lines; ' + s.positioned +
       ' items with a position; GPS fixes: ' + s.fixes_accepted + ' kept, ' + s.fixes_rejected +
       ' rejected; route drawn with ' + route.t.length + ' of ' + s.route_vertices + ' vertices' +
       (s.route_vertices > route.t.length ? ' (thinned)' : '') + '.');

  // ---- KPI bins: five equal bins between the KPI's smallest and largest value on the route
  function binsOf(values) {
    var low = Infinity, high = -Infinity;
    values.forEach(function (v) { if (v !== null) { low = Math.min(low, v); high = Math.max(high, v); } });
    return low > high ? null : { low: low, high: high };
  }
  function binOf(bins, v) {
    if (v === null || bins === null) return -1;
    if (bins.high <= bins.low) return COLOURS.length - 1;
    return Math.max(0, Math.min(COLOURS.length - 1, Math.floor((v - bins.low) / (bins.high - bins.low) * COLOURS.length)));
  }
  function colourOf(bin) { return bin < 0 ? NO_VALUE : COLOURS[bin]; }

  // ---- the map
  var map = L.map('map', { preferCanvas: false });
  L.control.scale({ imperial: false }).addTo(map);
  var tiles = L.tileLayer('https://tile.openstreetmap.org/{z}/{x}/{y}.png', {
    maxZoom: 19, attribution: '&copy; OpenStreetMap contributors' });
  $('tiles').addEventListener('change', function () {
    if (this.checked) tiles.addTo(map); else map.removeLayer(tiles);
  });
  var latlngs = route.t.map(function (_, i) { return [route.lat[i], route.lon[i]]; });
  // The whole route as one line (one vertex per drawn point) under the coloured pieces.
  var routeLine = L.polyline(latlngs, { color: '#333', weight: 9, opacity: 0.35 }).addTo(map);
  var pieces = L.layerGroup().addTo(map);
  var stretch = L.polyline([], { color: '#1f5fd6', weight: 14, opacity: 0.35 }).addTo(map);
  var legend = L.control({ position: 'bottomright' });
  legend.onAdd = function () { return L.DomUtil.create('div', 'legend'); };
  legend.addTo(map);
  if (latlngs.length > 0) map.fitBounds(routeLine.getBounds(), { padding: [20, 20] });
  else map.setView([0, 0], 2);

  var kpi = data.default_kpi;
  function drawRoute() {
    pieces.clearLayers();
    var values = kpi < 0 ? [] : route.kpi[kpi];
    var bins = kpi < 0 ? null : binsOf(values);
    // One piece per run of vertices in the same bin, joined end to start.
    var start = 0;
    for (var i = 1; i < latlngs.length; i++) {
      var bin = binOf(bins, kpi < 0 ? null : values[start + 1]);
      if (i + 1 === latlngs.length || binOf(bins, kpi < 0 ? null : values[i + 1]) !== bin) {
        L.polyline(latlngs.slice(start, i + 1), { color: colourOf(bin), weight: 5, opacity: 0.95,
                                                   interactive: false }).addTo(pieces);
        start = i;
      }
    }
    var box = legend.getContainer();
    box.textContent = '';
    box.appendChild(el('b', kpi < 0 ? 'No KPI' : data.kpis[kpi]));
    if (bins !== null) {
      for (var b = COLOURS.length - 1; b >= 0; b--) {
        var row = el('div');
        var swatch = el('i');
        swatch.style.background = COLOURS[b];
        row.appendChild(swatch);
        row.appendChild(document.createTextNode(number(bins.low + (bins.high - bins.low) * b / COLOURS.length) +
            ' to ' + number(bins.low + (bins.high - bins.low) * (b + 1) / COLOURS.length)));
        box.appendChild(row);
      }
    }
  }

  var picker = $('kpi');
  data.kpis.forEach(function (name, k) {
    var option = el('option', name);
    option.value = String(k);
    picker.appendChild(option);
  });
  picker.value = String(kpi);
  picker.addEventListener('change', function () {
    kpi = Number(picker.value);
    drawRoute();
    drawChart();
  });

  // Event markers with their names.
  var ev = data.events;
  ev.t.forEach(function (_, i) {
    if (ev.lat[i] === null) return;
    var marker = L.circleMarker([ev.lat[i], ev.lon[i]], { radius: 6, color: '#000', weight: 1,
                                                          fillColor: '#7b3294', fillOpacity: 0.9 });
    marker.bindTooltip(function () { return el('span', ev.name[i] + ' (' + clock(ev.t[i]) + ', line ' + ev.line[i] + ')'); });
    marker.addTo(map);
  });

  // Selecting a stretch: the first click on the route marks its start, the second its end.
  var firstPick = null;
  function nearestVertex(latlng) {
    var best = -1, bestDistance = Infinity;
    var point = map.latLngToLayerPoint(latlng);
    for (var i = 0; i < latlngs.length; i++) {
      var d = point.distanceTo(map.latLngToLayerPoint(latlngs[i]));
      if (d < bestDistance) { bestDistance = d; best = i; }
    }
    return best;
  }
  function select(from, to) {
    if (from === null) {
      selection = null;
      stretch.setLatLngs([]);
      text($('selection'), 'Click two points of the route to select a stretch.');
      $('clear').disabled = true;
    } else {
      var a = Math.min(from, to), b = Math.max(from, to);
      selection = [route.t[a], route.t[b]];
      stretch.setLatLngs(latlngs.slice(a, b + 1));
      text($('selection'), 'Selected ' + clock(selection[0]) + ' to ' + clock(selection[1]) +
           ' (lines ' + route.line[a] + ' to ' + route.line[b] + ').');
      $('clear').disabled = false;
    }
    firstPick = null;
    eventsTable.show(0);
    signallingTable.show(0);
    drawChart();
  }
  routeLine.on('click', function (e) {
    var vertex = nearestVertex(e.latlng);
    if (vertex < 0) return;
    if (firstPick === null) {
      firstPick = vertex;
      stretch.setLatLngs([latlngs[vertex]]);
      text($('selection'), 'Start at ' + clock(route.t[vertex]) + '; click the end of the stretch.');
    } else {
      select(firstPick, vertex);
    }
  });
  $('clear').addEventListener('click', function () { select(null); });

  // ---- the KPI time series and the EV-DO state strip (inline SVG)
  var series = data.series;
  var W = 1000, H = 180, PAD = 46;
  var t0 = series.t.length ? series.t[0] : 0, t1 = series.t.length ? series.t[series.t.length - 1] : 1;
  function x(t) { return PAD + (t1 > t0 ? (t - t0) / (t1 - t0) : 0) * (W - PAD - 10); }
  function shade(root, height) {
    if (selection === null) return;
    root.appendChild(svg('rect', { x: x(selection[0]), y: 0, width: Math.max(1, x(selection[1]) - x(selection[0])),
                                   height: height, fill: '#1f5fd6', 'fill-opacity': 0.15 }));
  }
  function drawChart() {
    var box = $('chart');
    box.textContent = '';
    text($('chart-title'), (kpi < 0 ? 'KPI' : data.kpis[kpi]) + ' over time');
    var root = svg('svg', { viewBox: '0 0 ' + W + ' ' + H, role: 'img' });
    box.appendChild(root);
    shade(root, H - 20);
    var values = kpi < 0 ? [] : series.kpi[kpi];
    var bins = binsOf(values);
    root.appendChild(svg('line', { x1: PAD, y1: H - 20, x2: W - 10, y2: H - 20, stroke: '#888' }));
    [[t0, 'start'], [t1, 'end']].forEach(function (p) {
      root.appendChild(text(svg('text', { x: x(p[0]), y: H - 5, class: 'axis', 'text-anchor': p[1] }), clock(p[0])));
    });
    if (bins === null) return;
    var span = bins.high > bins.low ? bins.high - bins.low : 1;
    function y(v) { return 10 + (1 - (v - bins.low) / span) * (H - 40); }
    [bins.low, bins.high].forEach(function (v) {
      root.appendChild(text(svg('text', { x: PAD - 4, y: y(v) + 4, class: 'axis', 'text-anchor': 'end' }), number(v)));
    });
    // A gap where the KPI has no value.
    var points = [];
    function flush() {
      if (points.length) root.appendChild(svg('polyline', { points: points.join(' '), fill: 'none', stroke: '#1f5fd6', 'stroke-width': 1.5 }));
      points = [];
    }
    for (var i = 0; i < series.t.length; i++) {
      if (values[i] === null || series.t[i] === null) { flush(); continue; }
      points.push(x(series.t[i]).toFixed(1) + ',' + y(values[i]).toFixed(1));
    }
    flush();
    drawLabels(root);
    drawStrip();
  }
  // The drive script's labels ("Voice call 1 (MO)") as marks on the time axis.
  function drawLabels(root) {
    var labels = data.labels;
    labels.t.forEach(function (t, i) {
      if (t === null || t < t0 || t > t1) return;
      var at = x(t);
      root.appendChild(svg('line', { x1: at, y1: 0, x2: at, y2: H - 20, stroke: '#7b3294', 'stroke-dasharray': '3,3' }));
      var caption = text(svg('text', { x: at + 3, y: 10 + (i % 3) * 11, class: 'axis label-note' }), labels.text[i]);
      caption.appendChild(text(svg('title'), labels.text[i] + ' (' + clock(t) + ', line ' + labels.line[i] + ')'));
      root.appendChild(caption);
    });
  }
  var STATES = [['inactive', '#bbbbbb'], ['idle / setup', '#fdae61'], ['connected', '#1a9641']];
  function drawStrip() {
    var box = $('strip');
    box.textContent = '';
    var root = svg('svg', { viewBox: '0 0 ' + W + ' 44', role: 'img' });
    box.appendChild(root);
    var values = data.evdo_kpi < 0 ? [] : series.kpi[data.evdo_kpi];
    for (var i = 0; i + 1 < series.t.length; i++) {
      var state = values[i];
      if (state === null || series.t[i] === null || series.t[i + 1] === null || !STATES[state]) continue;
      root.appendChild(svg('rect', { x: x(series.t[i]), y: 4, width: Math.max(0.5, x(series.t[i + 1]) - x(series.t[i])),
                                     height: 18, fill: STATES[state][1] }));
    }
    shade(root, 26);
    STATES.forEach(function (st, k) {
      root.appendChild(svg('rect', { x: PAD + k * 140, y: 30, width: 10, height: 10, fill: st[1] }));
      root.appendChild(text(svg('text', { x: PAD + k * 140 + 14, y: 39, class: 'axis' }), st[0]));
    });
  }

  // ---- paged tables
  function pagedTable(tableId, pagerId, columns, rowCells) {
    var body = $(tableId).tBodies[0];
    var pager = $(pagerId);
    var rows = [], page = 0;
    function inSelection(i) {
      var t = columns.t[i];
      return selection === null || (t !== null && t >= selection[0] && t <= selection[1]);
    }
    function show(p) {
      rows = [];
      for (var i = 0; i < columns.t.length; i++) if (inSelection(i)) rows.push(i);
      var pages = Math.max(1, Math.ceil(rows.length / PAGE_ROWS));
      page = Math.max(0, Math.min(p, pages - 1));
      body.textContent = '';
      rows.slice(page * PAGE_ROWS, (page + 1) * PAGE_ROWS).forEach(function (i) {
        var tr = document.createElement('tr');
        rowCells(i).forEach(function (cell) { tr.appendChild(el('td', cell)); });
        body.appendChild(tr);
      });
      pager.textContent = '';
      var back = el('button', '\u2039 Previous'), next = el('button', 'Next \u203a');
      back.type = next.type = 'button';
      back.disabled = page === 0;
      next.disabled = page + 1 >= pages;
      back.addEventListener('click', function () { show(page - 1); });
      next.addEventListener('click', function () { show(page + 1); });
      pager.appendChild(back);
      pager.appendChild(el('span', 'page ' + (page + 1) + ' of ' + pages + ' (' + rows.length + ' rows)'));
      pager.appendChild(next);
    }
    return { show: show, rows: function () { return rows.length; } };
  }
  var eventsTable = pagedTable('events', 'events-pager', ev, function (i) {
    return [time(ev.t[i]), String(ev.line[i]), ev.name[i]];
  });
  var sig = data.signalling;
  var DIRECTIONS = ['down', 'up', ''];
  var signallingTable = pagedTable('signalling', 'signalling-pager', sig, function (i) {
    return [time(sig.t[i]), String(sig.line[i]), DIRECTIONS[sig.dir[i]] || '', sig.channel[i], sig.message[i]];
  });

  drawRoute();
  eventsTable.show(0);
  signallingTable.show(0);
  drawChart();

  // For tests and the console: the layers and the tables.
  window.driveReport = { map: map, route: routeLine, pieces: pieces, events: eventsTable,
                         signalling: signallingTable, select: select };
}());
