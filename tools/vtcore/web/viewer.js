// The viewer of one depository: its tiles over its extent, the tile under the pointer, and the
// slot state of tiles that are missing, drawn over the map.
(function () {
  'use strict';

  var STATE_NAMES = { '0': 'failed', '1': 'waiting', '2': 'stored', '3': 'damaged', '4': 'absent', '6': 'outside',
                      '-': 'no slot', '?': 'unknown state' };
  var STATE_COLOURS = { '0': 'rgba(220, 30, 30, 0.45)', '1': 'rgba(40, 90, 230, 0.35)',
                        '3': 'rgba(255, 140, 0, 0.55)', '4': 'rgba(120, 120, 120, 0.4)',
                        '6': 'rgba(90, 90, 90, 0.25)',
                        '?': 'rgba(160, 0, 160, 0.45)' };
  var MAX_STATE_TILES = 65536;

  var base = location.pathname.replace(/[^/]*$/, '');  // "/NAME/"
  var name = decodeURIComponent(base.split('/')[1] || '');
  document.getElementById('name').textContent = name;
  document.title = name + ' \u2013 vtcore serve';
  var message = document.getElementById('message');
  var cursor = document.getElementById('cursor');

  function fail(text) { message.textContent = text; }

  fetch(base + 'tiles.json')
    .then(function (r) {
      if (!r.ok) return r.text().then(function (t) { throw new Error(t || r.statusText); });
      return r.json();
    })
    .then(start)
    .catch(function (e) { fail('cannot show this depository: ' + e.message); });

  function start(tj) {
    var model = tj.vtcore ? tj.vtcore.tile_model : 'mercator';
    if (model !== 'mercator' && model !== 'geographic') {
      fail('tiles of the ' + model + ' scheme are served but this viewer draws only Web Mercator and ' +
           'geographic tiles');
      return;
    }
    // Geographic depositories hold one tile for the world at level 1 and 2 x 1 tiles at level 2,
    // which is Leaflet's geographic zoom 0: their URL zoom is one more than the map's zoom.
    var offset = model === 'geographic' ? 1 : 0;
    var minNative = Math.max(0, tj.minzoom - offset);
    var maxNative = Math.max(minNative, tj.maxzoom - offset);
    var b = tj.bounds;
    var bounds = L.latLngBounds([b[1], b[0]], [b[3], b[2]]);
    var map = L.map('map', {
      crs: model === 'geographic' ? L.CRS.EPSG4326 : L.CRS.EPSG3857,
      minZoom: 0, maxZoom: maxNative + 3, zoomSnap: 1
    });
    L.tileLayer(tj.tiles[0], {
      minZoom: 0, maxZoom: maxNative + 3, minNativeZoom: minNative, maxNativeZoom: maxNative,
      zoomOffset: offset, bounds: bounds, noWrap: true, attribution: 'vtcore serve'
    }).addTo(map);
    L.rectangle(bounds, { color: '#c33', weight: 1, fill: false, interactive: false }).addTo(map);
    map.fitBounds(bounds);
    if (map.getZoom() < minNative) map.setZoom(minNative);

    // Slot states of the tiles in view, fetched as one range per view.
    var states = null;  // {z, x0, y0, x1, y1, states}
    var overlay = L.gridLayer({ noWrap: true, bounds: bounds, minNativeZoom: minNative, maxNativeZoom: maxNative });
    overlay.createTile = function (coords) {
      var tile = document.createElement('canvas');
      var size = this.getTileSize();
      tile.width = size.x;
      tile.height = size.y;
      var s = stateAt(coords.z, coords.x, coords.y);
      var colour = STATE_COLOURS[s];
      if (colour) {
        var g = tile.getContext('2d');
        g.fillStyle = colour;
        g.fillRect(0, 0, size.x, size.y);
        g.strokeStyle = 'rgba(0, 0, 0, 0.35)';
        g.strokeRect(0.5, 0.5, size.x - 1, size.y - 1);
        g.fillStyle = '#222';
        g.font = '12px sans-serif';
        g.fillText(STATE_NAMES[s], 6, 16);
      }
      return tile;
    };
    overlay.addTo(map);
    document.getElementById('overlay').addEventListener('change', function (e) {
      if (e.target.checked) overlay.addTo(map); else map.removeLayer(overlay);
    });

    function stateAt(z, x, y) {
      if (!states || states.z !== z + offset) return null;
      if (x < states.x0 || x > states.x1 || y < states.y0 || y > states.y1) return null;
      return states.states.charAt((y - states.y0) * (states.x1 - states.x0 + 1) + (x - states.x0));
    }

    function loadStates() {
      var z = map.getZoom();
      if (z < minNative || z > maxNative) { states = null; overlay.redraw(); return; }
      var view = map.getPixelBounds();
      var count = map.options.crs.scale(z) / 256;
      var x0 = Math.max(0, Math.floor(view.min.x / 256)), y0 = Math.max(0, Math.floor(view.min.y / 256));
      var x1 = Math.floor((view.max.x - 1) / 256), y1 = Math.floor((view.max.y - 1) / 256);
      x1 = Math.min(x1, Math.ceil(count * (offset ? 2 : 1)) - 1);
      y1 = Math.min(y1, Math.ceil(count) - 1);
      if (x1 < x0 || y1 < y0 || (x1 - x0 + 1) * (y1 - y0 + 1) > MAX_STATE_TILES) return;
      var url = tj.vtcore.states + '?z=' + (z + offset) + '&x0=' + x0 + '&y0=' + y0 + '&x1=' + x1 + '&y1=' + y1;
      fetch(url).then(function (r) { return r.ok ? r.json() : null; }).then(function (j) {
        if (j && j.z === map.getZoom() + offset) { states = j; overlay.redraw(); }
      }).catch(function () {});
    }
    map.on('moveend', loadStates);
    loadStates();

    map.on('mousemove', function (e) {
      var z = map.getZoom();
      var p = map.project(e.latlng, z).divideBy(256).floor();
      var urlZoom = z + offset;
      var s = stateAt(z, p.x, p.y);
      cursor.textContent = 'level ' + (urlZoom + 1) + ' (zoom ' + urlZoom + ')  tile ' + p.x + ', ' + p.y +
        (s ? '  ' + STATE_NAMES[s] : '') + '  ' + e.latlng.lng.toFixed(5) + ', ' + e.latlng.lat.toFixed(5);
    });
  }
})();
