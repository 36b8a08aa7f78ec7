// The drive report page: reads the drive's data from the JSON block, draws
// the route coloured by the picked KPI, the event markers, the cells with
// their serving lines and neighbour links, the KPI time
// series and the EV-DO state strip, and pages the event and signalling
// tables, filtered to the stretch of the route the reader selects. Text from
// the log is only ever set with textContent.
(function () {
  'use strict';
  var data = JSON.parse(document.getElementById('drive-data').textContent);
  var NO_VALUE = '#808080';
  var PAGE_ROWS = 50;
  var SVG = 'http://www.w3.org/2000/svg';
  var route = data.route;
  // The selected stretch, or null for the whole drive: its lines, which the
  // tables filter by (the log's clock may go back, its lines never do), and
  // the earliest and latest clock along it, which the charts shade.
  var selection = null;  // { lines: [first, last], times: [earliest, latest] or null }

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
  // The drive's time range, from its earliest to its latest clock: the clock
  // may go back, so neither the first nor the last item need be the ends.
  var timeSpan = data.summary.earliest === null ? null : [data.summary.earliest, data.summary.latest];
  var DAY = 86400000;
  // Times of day, with the date too when the drive runs over more than one day.
  var manyDays = timeSpan !== null && Math.floor(timeSpan[0] / DAY) !== Math.floor(timeSpan[1] / DAY);
  function clock(ms) {
    if (ms === null) return '';
    var iso = new Date(ms).toISOString();
    return manyDays ? iso.substr(0, 10) + ' ' + iso.substr(11, 8) : iso.substr(11, 8);
  }
  // One number format for all the numbers of an axis: enough
  // decimals to tell steps of `step` apart.
  function numberFormat(step) {
    var decimals = step >= 10 ? 0 : step >= 1 ? 1 : step >= 0.1 ? 2 : 3;
    return function (v) { return v.toFixed(decimals); };
  }

  // ---- header
  text($('title'), 'Drive report: ' + data.title);
  document.title = 'Drive report: ' + data.title;
  var s = data.summary;
  text($('summary'), s.items + ' items from ' + s.lines + ' lines; ' + s.positioned +
       ' items with a position; GPS fixes: ' + s.fixes_accepted + ' kept, ' + s.fixes_rejected +
       ' rejected; route of ' + s.route_fixes + ' positions drawn with ' + route.t.length + ' points' +
       (s.route_thinned || s.series_thinned ? ' (thinned: each stretch keeps its lowest and highest KPI values)' : '') +
       '.' + cut('events', s.events, data.events.t.length) + cut('signalling messages', s.signalling, data.signalling.t.length) +
       cut('labels', s.labels, data.labels.t.length));
  // The page keeps the first of a long drive's events, messages and labels
  // only; it says so, as `wendrake decode` lists them all.
  function cut(what, all, kept) {
    return all > kept ? ' The page shows the first ' + kept + ' of ' + all + ' ' + what + '.' : '';
  }

  // ---- KPI bins: the tool's, one set per KPI (data.bins), with their colours and labels
  function rangeOf(values) {
    var low = Infinity, high = -Infinity;
    values.forEach(function (v) { if (v !== null) { low = Math.min(low, v); high = Math.max(high, v); } });
    return low > high ? null : { low: low, high: high };
  }
  function binOf(bins, v) {
    if (v === null || bins === null) return -1;
    if (bins.single) return bins.colours.length - 1;
    var bin = 0;
    while (bin < bins.edges.length && v >= bins.edges[bin]) bin++;
    return bin;
  }
  function colourOf(bins, bin) { return bin < 0 ? NO_VALUE : bins.colours[bin]; }

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
  // "Rxagc (dBm)": a KPI's name with its unit, where it has one.
  function kpiLabel(k) { return data.kpis[k] + (data.kpi_units[k] ? ' (' + data.kpi_units[k] + ')' : ''); }
  function drawRoute() {
    pieces.clearLayers();
    var values = kpi < 0 ? [] : route.kpi[kpi];
    var bins = kpi < 0 ? null : data.bins[kpi];
    // One piece per run of vertices in the same bin, joined end to start.
    var start = 0;
    for (var i = 1; i < latlngs.length; i++) {
      var bin = binOf(bins, kpi < 0 ? null : values[start + 1]);
      if (i + 1 === latlngs.length || binOf(bins, kpi < 0 ? null : values[i + 1]) !== bin) {
        L.polyline(latlngs.slice(start, i + 1), { color: colourOf(bins, bin), weight: 5, opacity: 0.95,
                                                   interactive: false }).addTo(pieces);
        start = i;
      }
    }
    var box = legend.getContainer();
    box.textContent = '';
    box.appendChild(el('b', kpi < 0 ? 'No KPI' : kpiLabel(kpi)));
    function legendRow(colour, label) {
      var row = el('div');
      var swatch = el('i');
      swatch.style.background = colour;
      row.appendChild(swatch);
      row.appendChild(document.createTextNode(label));
      box.appendChild(row);
    }
    if (bins !== null) {
      // One value throughout: one row, not five of the same.
      for (var b = bins.colours.length - 1; b >= (bins.single ? bins.colours.length - 1 : 0); b--) {
        legendRow(bins.colours[b], bins.labels[b]);
      }
    }
  }

  var picker = $('kpi');
  data.kpis.forEach(function (name, k) {
    var option = el('option', kpiLabel(k));
    option.value = String(k);
    picker.appendChild(option);
  });
  picker.value = String(kpi);
  picker.addEventListener('change', function () {
    kpi = Number(picker.value);
    drawRoute();
    drawChart();
  });

  // Event markers, a colour for each of the most frequent kinds of event
  // (the rest share grey; the tool ranks and colours the kinds, as the map's
  // styles do), listed in a legend with a switch. They sit on the
  // route's vertices, so a click on one is a click on the route under it:
  // otherwise they would catch the clicks that select a stretch.
  var ev = data.events;
  var kinds = data.event_kinds.name;
  var kindColours = new Map();
  kinds.forEach(function (name, k) { kindColours.set(name, data.event_kinds.colour[k]); });
  var namedKinds = data.event_kinds.colour.filter(function (c) { return c !== NO_VALUE; }).length;
  function kindColour(name) { return kindColours.get(name) || NO_VALUE; }
  var markers = L.layerGroup().addTo(map);
  ev.t.forEach(function (_, i) {
    if (ev.lat[i] === null) return;
    var marker = L.circleMarker([ev.lat[i], ev.lon[i]], { radius: 5, color: '#000', weight: 1,
                                                          fillColor: kindColour(ev.name[i]), fillOpacity: 0.9 });
    marker.bindTooltip(function () { return el('span', ev.name[i] + ' (' + clock(ev.t[i]) + ', line ' + ev.line[i] + ')'); });
    marker.on('click', function (e) { routeLine.fire('click', { latlng: e.latlng }); });
    marker.addTo(markers);
  });
  var eventLegend = L.control({ position: 'bottomleft' });
  eventLegend.onAdd = function () {
    var box = L.DomUtil.create('div', 'legend');
    var label = el('label'), toggle = document.createElement('input');
    toggle.type = 'checkbox';
    toggle.checked = true;
    toggle.id = 'event-markers';
    toggle.addEventListener('change', function () {
      if (toggle.checked) markers.addTo(map); else map.removeLayer(markers);
    });
    label.appendChild(toggle);
    label.appendChild(el('b', ' Events'));
    box.appendChild(label);
    kinds.slice(0, namedKinds).forEach(function (name, k) {
      var row = el('div'), dot = el('i');
      dot.className = 'dot';
      dot.style.background = kindColour(name);
      row.appendChild(dot);
      row.appendChild(document.createTextNode(name + ' (' + data.event_kinds.count[k] + ')'));
      box.appendChild(row);
    });
    if (kinds.length > namedKinds) {
      var other = el('div'), grey = el('i');
      grey.className = 'dot';
      grey.style.background = NO_VALUE;
      other.appendChild(grey);
      other.appendChild(document.createTextNode((kinds.length - namedKinds) + ' other kinds'));
      box.appendChild(other);
    }
    L.DomEvent.disableClickPropagation(box);
    return box;
  };
  if (kinds.length > 0) eventLegend.addTo(map);

  // ---- cells: each at its advertised position, labelled with its PN and ID;
  // a click lists its neighbours and draws a link to each neighbour's cell.
  // Serving lines join each point of the route to the cell serving there.
  var CELL_COLOUR = '#1f5fd6';
  var cells = data.cells;
  function cellAt(c) { return c >= 0 && c < cells.pn.length && cells.lat[c] !== null ? [cells.lat[c], cells.lon[c]] : null; }
  var servingLines = L.layerGroup().addTo(map);
  route.serving.forEach(function (c, i) {
    var at = cellAt(c);
    if (at === null) return;
    L.polyline([latlngs[i], at], { color: CELL_COLOUR, weight: 1, opacity: 0.5, interactive: false }).addTo(servingLines);
  });
  var neighbourLinks = L.layerGroup().addTo(map);
  var cellMarkers = L.layerGroup().addTo(map);
  var selectedCell = -1;
  function showNeighbours(c) {
    neighbourLinks.clearLayers();
    selectedCell = c;
    var from = cellAt(c);
    cells.neighbour_cells[c].forEach(function (n) {
      var to = cellAt(n);
      if (from === null || to === null) return;
      L.polyline([from, to], { color: '#e66101', weight: 2, dashArray: '6 4', interactive: false }).addTo(neighbourLinks);
    });
  }
  function neighbourList(c) {
    var box = el('div');
    box.appendChild(el('b', cells.label[c]));
    box.appendChild(el('div', cells.tech[c] + ' ' + cells.id[c]));
    var list = el('ul');
    list.className = 'neighbours';
    cells.neighbours[c].forEach(function (pn, k) {
      var n = cells.neighbour_cells[c][k];
      list.appendChild(el('li', n >= 0 ? cells.label[n] : 'PN ' + pn + ' (no cell heard)'));
    });
    box.appendChild(el('div', cells.neighbours[c].length + ' neighbours'));
    box.appendChild(list);
    return box;
  }
  cells.pn.forEach(function (_, c) {
    var at = cellAt(c);
    if (at === null) return;
    var marker = L.circleMarker(at, { radius: 7, color: '#000', weight: 1, fillColor: CELL_COLOUR, fillOpacity: 0.9 });
    marker.bindTooltip(el('span', cells.label[c]), { permanent: true, direction: 'right', className: 'cell-label' });
    marker.bindPopup(function () { return neighbourList(c); });
    marker.on('popupopen', function () { showNeighbours(c); });
    marker.on('popupclose', function () { if (selectedCell === c) { neighbourLinks.clearLayers(); selectedCell = -1; } });
    marker.addTo(cellMarkers);
  });
  var cellCount = cellMarkers.getLayers().length;
  if (cellCount > 0) {
    var cellLegend = L.control({ position: 'topright' });
    cellLegend.onAdd = function () {
      var box = L.DomUtil.create('div', 'legend');
      [['cell-markers', ' Cells (' + cellCount + ')', [cellMarkers, neighbourLinks]],
       ['serving-lines', ' Serving cells', [servingLines]]].forEach(function (entry) {
        var label = el('label'), toggle = document.createElement('input');
        toggle.type = 'checkbox';
        toggle.checked = true;
        toggle.id = entry[0];
        toggle.addEventListener('change', function () {
          entry[2].forEach(function (layer) { if (toggle.checked) layer.addTo(map); else map.removeLayer(layer); });
        });
        label.appendChild(toggle);
        label.appendChild(el('b', entry[1]));
        box.appendChild(el('div')).appendChild(label);
      });
      L.DomEvent.disableClickPropagation(box);
      return box;
    };
    cellLegend.addTo(map);
  }

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
      var earliest = Infinity, latest = -Infinity;
      for (var i = a; i <= b; i++) {
        if (route.t[i] !== null) { earliest = Math.min(earliest, route.t[i]); latest = Math.max(latest, route.t[i]); }
      }
      selection = { lines: [route.line[a], route.line[b]], times: earliest <= latest ? [earliest, latest] : null };
      stretch.setLatLngs(latlngs.slice(a, b + 1));
      text($('selection'), 'Selected ' + clock(route.t[a]) + ' to ' + clock(route.t[b]) +
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
  var t0 = timeSpan === null ? 0 : timeSpan[0], t1 = timeSpan === null ? 1 : timeSpan[1];
  function x(t) { return PAD + (t1 > t0 ? (t - t0) / (t1 - t0) : 0) * (W - PAD - 10); }
  function shade(root, height) {
    if (selection === null || selection.times === null) return;
    var times = selection.times;
    root.appendChild(svg('rect', { x: x(times[0]), y: 0, width: Math.max(1, x(times[1]) - x(times[0])),
                                   height: height, fill: '#1f5fd6', 'fill-opacity': 0.15 }));
  }
  function drawChart() {
    var box = $('chart');
    box.textContent = '';
    text($('chart-title'), (kpi < 0 ? 'KPI' : kpiLabel(kpi)) + ' over time');
    var root = svg('svg', { viewBox: '0 0 ' + W + ' ' + H, role: 'img' });
    box.appendChild(root);
    shade(root, H - 20);
    var values = kpi < 0 ? [] : series.kpi[kpi];
    var bins = rangeOf(values);
    root.appendChild(svg('line', { x1: PAD, y1: H - 20, x2: W - 10, y2: H - 20, stroke: '#888' }));
    var TICKS = 4;
    for (var k = 0; k <= TICKS; k++) {
      var at = t0 + (t1 - t0) * k / TICKS;
      root.appendChild(svg('line', { x1: x(at), y1: H - 20, x2: x(at), y2: H - 16, stroke: '#888' }));
      root.appendChild(text(svg('text', { x: x(at), y: H - 5, class: 'axis',
                                          'text-anchor': k === 0 ? 'start' : k === TICKS ? 'end' : 'middle' }),
                            clock(Math.round(at))));
      if (t1 <= t0) break;
    }
    if (bins === null) return;
    var span = bins.high > bins.low ? bins.high - bins.low : 1;
    function y(v) { return 10 + (1 - (v - bins.low) / span) * (H - 40); }
    var format = numberFormat(span / 5);
    [bins.low, bins.high].forEach(function (v) {
      root.appendChild(text(svg('text', { x: PAD - 4, y: y(v) + 4, class: 'axis', 'text-anchor': 'end' }), format(v)));
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
  // The EV-DO states (named by the data, in their order) and their colours.
  var STATE_COLOURS = ['#bbbbbb', '#fdae61', '#1a9641'];
  function drawStrip() {
    var box = $('strip');
    box.textContent = '';
    var root = svg('svg', { viewBox: '0 0 ' + W + ' 44', role: 'img' });
    box.appendChild(root);
    var values = series.evdo;
    for (var i = 0; i + 1 < series.t.length; i++) {
      var state = values[i];
      if (state === null || series.t[i] === null || series.t[i + 1] === null || !STATE_COLOURS[state]) continue;
      root.appendChild(svg('rect', { x: x(series.t[i]), y: 4, width: Math.max(0.5, x(series.t[i + 1]) - x(series.t[i])),
                                     height: 18, fill: STATE_COLOURS[state] }));
    }
    shade(root, 26);
    data.evdo_states.forEach(function (name, k) {
      var seconds = Math.round(data.evdo_seconds[k]);  // whole seconds, so never "60 s"
      root.appendChild(svg('rect', { x: PAD + k * 200, y: 30, width: 10, height: 10, fill: STATE_COLOURS[k] }));
      root.appendChild(text(svg('text', { x: PAD + k * 200 + 14, y: 39, class: 'axis' }),
                            name + ' ' + Math.floor(seconds / 60) + ' min ' + seconds % 60 + ' s'));
    });
  }

  // ---- paged tables
  function pagedTable(tableId, pagerId, columns, rowCells) {
    var body = $(tableId).tBodies[0];
    var pager = $(pagerId);
    var rows = [], page = 0;
    function inSelection(i) {
      return selection === null || (columns.line[i] >= selection.lines[0] && columns.line[i] <= selection.lines[1]);
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
  window.driveReport = { map: map, route: routeLine, pieces: pieces, markers: markers, events: eventsTable,
                         signalling: signallingTable, select: select, cells: cellMarkers,
                         servingLines: servingLines, neighbourLinks: neighbourLinks };
}());
