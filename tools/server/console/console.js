// Draws each table marked data-chart="bars" or "lines" with uPlot, above the table: the first
// column is the x axis (its texts as labels), every further column a series. Without this
// script (or the library) the tables alone remain.
(function () {
  "use strict";
  var colors = ["#2f6fb3", "#c0392b", "#27ae60", "#8e44ad", "#d68910"];

  function cells(row) {
    return Array.prototype.map.call(row.cells, function (c) { return c.textContent.trim(); });
  }

  function draw(table) {
    var kind = table.getAttribute("data-chart");
    var heads = cells(table.tHead.rows[0]);
    var rows = Array.prototype.map.call(table.tBodies[0].rows, cells).filter(function (r) {
      return r.length === heads.length;
    });
    if (rows.length === 0) return;
    var labels = rows.map(function (r) { return r[0]; });
    var data = [labels.map(function (_, i) { return i; })];
    var series = [{ label: heads[0] }];
    for (var c = 1; c < heads.length; c++) {
      data.push(rows.map(function (r) { var v = parseFloat(r[c]); return isNaN(v) ? null : v; }));
      var color = colors[(c - 1) % colors.length];
      series.push({
        label: heads[c], stroke: color, width: 2,
        fill: kind === "bars" ? color + "aa" : undefined,
        paths: kind === "bars" ? uPlot.paths.bars({ size: [0.5, 80] }) : undefined,
        points: { show: kind !== "bars", size: 6 },
      });
    }
    var box = document.createElement("div");
    box.className = "chart";
    table.parentNode.insertBefore(box, table);
    new uPlot({
      width: 720, height: 220, legend: { live: false },
      scales: {
        x: { time: false, range: function () { return [-0.5, labels.length - 0.5]; } },
        y: { range: function (u, min, max) { return [0, Math.max(1, max) * 1.15]; } },
      },
      axes: [{ splits: function () { return data[0]; },
               values: function (u, ticks) { return ticks.map(function (t) { return labels[t]; }); } },
             {}],
      series: series,
    }, data, box);
  }

  document.addEventListener("DOMContentLoaded", function () {
    if (window.uPlot) document.querySelectorAll("table[data-chart]").forEach(draw);
  });
})();
