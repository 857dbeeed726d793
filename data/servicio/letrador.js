// A little help on top of the plain forms: the live log of a recording, the quick message's
// picture as it is typed, the effect buttons, and a reload while something records.
(function () {
  'use strict';

  function text(el, value) { if (el) el.textContent = value; }

  // A recording's page: one log per sign, from the service's event stream.
  var rec = document.getElementById('grabacion');
  if (rec && rec.dataset.terminada !== '1' && window.EventSource) {
    var stream = new EventSource('/grabacion/eventos?id=' + rec.dataset.id);
    stream.onmessage = function (e) {
      var run = JSON.parse(e.data);
      var signs = rec.querySelectorAll('.cartel');
      run.signs.forEach(function (s, k) {
        var box = signs[k];
        if (!box) return;
        text(box.querySelector('.progreso'), s.progress);
        text(box.querySelector('.registro'), s.log.join('\n'));
        text(box.querySelector('.veredicto'), s.verdict || '');
      });
      if (run.ended) {
        stream.close();
        rec.dataset.terminada = '1';
        var stop = document.getElementById('frmDetener');
        if (stop) stop.hidden = true;
      }
    };
  }

  // The quick message: the picture and the figures follow the typing.
  var texto = document.getElementById('texto');
  var fuente = document.getElementById('fuente');
  if (texto && fuente) {
    var timer = null, asked = 0;
    var refresh = function () {
      var n = ++asked;
      var url = '/rapido/vista?texto=' + encodeURIComponent(texto.value) + '&fuente=' + encodeURIComponent(fuente.value);
      fetch(url, { credentials: 'same-origin' }).then(function (r) { return r.ok ? r.json() : null; }).then(function (v) {
        if (!v || n !== asked) return;
        document.getElementById('vista').src = v.imagen;
        text(document.getElementById('columnas'), 'Columnas del párrafo: ' + v.columnas);
        var cap = document.getElementById('capacidad');
        text(cap, v.capacidad);
        cap.className = v.excedida ? 'mal' : '';
        text(document.getElementById('faltan'), v.faltan);
      });
    };
    var later = function () { clearTimeout(timer); timer = setTimeout(refresh, 120); };
    texto.addEventListener('input', later);
    fuente.addEventListener('change', refresh);
    document.querySelectorAll('#efectos button').forEach(function (b) {
      b.addEventListener('click', function () {
        var at = texto.selectionStart, tag = b.dataset.efecto;
        texto.value = texto.value.slice(0, at) + tag + texto.value.slice(texto.selectionEnd);
        texto.focus();
        texto.selectionStart = texto.selectionEnd = at + tag.length;
        refresh();
      });
    });
  }

  // Turnos, Programa, Estado: while something records, look again shortly for its verdict.
  if (document.getElementById('recargar')) setTimeout(function () { location.reload(); }, 1000);
})();
