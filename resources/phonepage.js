// Drives the page for phones. Marking is the grader script's own (JPaper,
// JQuestion, JChoice, IsDone, JudgeQuestion, included above unchanged), so
// that both page styles mark by the same rules; this part only binds the
// controls, orders them for the student, counts down and shows the report in
// the page. Each choice is bound to its control by the paper's own order, so
// the order the student sees never changes the marking.
// Tests may set window.TessPageTest before the page loads: { seed: number
// (the student's order), secondsPerMinute: number (a shorter clock) }.
(function () {
  "use strict";
  var hooks = window.TessPageTest || {};
  var root = document.getElementById("paper");
  var form = document.getElementById("paper-form");
  var report = document.getElementById("report");
  var nameBox = document.getElementById("student-name");
  var classBox = document.getElementById("student-class");
  var studentError = document.getElementById("student-error");
  var timerBox = document.getElementById("timer");

  // A small seeded generator: the same seed gives the same order.
  var seed = typeof hooks.seed === "number" ? hooks.seed >>> 0
    : Math.floor(Math.random() * 4294967296) >>> 0;
  function random() {
    seed = (seed + 0x6d2b79f5) >>> 0;
    var t = seed;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  }
  function shuffleChildren(parent, selector) {
    var items = Array.prototype.slice.call(parent.children).filter(function (el) {
      return el.matches(selector);
    });
    for (var i = items.length - 1; i > 0; i--) {
      var j = Math.floor(random() * (i + 1));
      var t = items[i]; items[i] = items[j]; items[j] = t;
    }
    items.forEach(function (el) { parent.appendChild(el); });
  }
  function letter(i) {
    var s = "";
    for (var n = i + 1; n > 0; n = Math.floor((n - 1) / 26))
      s = String.fromCharCode(65 + (n - 1) % 26) + s;
    return s;
  }

  // A picture of a question text carries no description; a screen reader
  // then says at least that a picture stands there.
  Array.prototype.forEach.call(document.querySelectorAll("main img:not([alt])"), function (img) {
    img.alt = "题目中的图片";
  });

  // A question's own controls: those the writer wrote, named after the
  // question and carrying their answer, wherever a text around them may have
  // moved them. Controls that a question text brings along are not counted.
  function controlsOf(el) {
    return Array.prototype.slice.call(document.querySelectorAll(
      'input[data-right][name="' + el.getAttribute("data-q") + '"]'));
  }

  // The paper for the grader, every control in the paper's order.
  var items = Array.prototype.slice.call(document.querySelectorAll("li.q"));
  Paper = new JPaper(items.length, Number(root.getAttribute("data-full")));
  items.forEach(function (el) {
    var kind = Number(el.getAttribute("data-kind"));
    var inputs = controlsOf(el);
    var q = new JQuestion(kind === 0 ? 2 : 8, Number(el.getAttribute("data-mark")), kind);
    inputs.forEach(function (input) {
      q.AddChoice(new JChoice(inputs, input.getAttribute("data-right") === "true"));
    });
    q.Item = el;
    q.Inputs = inputs;
    Paper.AddQuestion(q);
  });

  // The student's own order: choices, then questions within each type.
  if (root.getAttribute("data-shuffle-choices") === "1") {
    Array.prototype.forEach.call(document.querySelectorAll("li.q .choices"), function (box) {
      shuffleChildren(box, "label.option");
    });
  }
  if (root.getAttribute("data-shuffle-questions") === "1") {
    Array.prototype.forEach.call(document.querySelectorAll("ol.qs"), function (list) {
      shuffleChildren(list, "li.q");
    });
  }
  // Numbers and letters follow what the student sees.
  Array.prototype.forEach.call(document.querySelectorAll("ol.qs"), function (list) {
    Array.prototype.forEach.call(list.querySelectorAll("li.q"), function (el, i) {
      el.querySelector(".no").textContent = (i + 1) + ".";
      Array.prototype.forEach.call(el.querySelectorAll(".choices .letter"), function (l, k) {
        l.textContent = letter(k) + ".";
      });
    });
  });

  function optionText(input) {
    var label = input.closest("label");
    var letterBox = label.querySelector(".letter");
    var textBox = label.querySelector(".choice-text");
    if (!letterBox) return label.textContent.trim();
    return (letterBox.textContent + " " + (textBox ? textBox.textContent.trim() : "")).trim();
  }
  // The controls of a question in the order the student sees them.
  function shown(q) {
    return controlsOf(q.Item);
  }

  // The name and class outlive a reload of the page while its tab is open,
  // and no longer: the next student on the same phone starts empty.
  [nameBox, classBox].forEach(function (box) {
    var key = "tessaloom:" + box.id;
    try {
      var kept = window.sessionStorage.getItem(key);
      if (kept && !box.value) box.value = kept;
      box.addEventListener("input", function () {
        try { window.sessionStorage.setItem(key, box.value); } catch (e) { /* none kept */ }
      });
    } catch (e) {
      // A browser without session storage for files: the fields still work.
    }
  });

  var timer = null;
  var submitted = false;

  function add(parent, tag, text, cls) {
    var el = document.createElement(tag);
    if (text != null) el.textContent = text;
    if (cls) el.className = cls;
    parent.appendChild(el);
    return el;
  }

  function showReport(timeUp) {
    var sum = 0;
    while (report.firstChild) report.removeChild(report.firstChild);
    var title = add(report, "h1", document.querySelector("main h1").textContent);
    title.id = "report-title";
    title.tabIndex = -1;
    add(report, "p", timeUp ? "时间到, 试卷已自动提交. 批改结果如下:" : "试卷批改结果", "full");
    var card = add(report, "div", null, "card");
    var dl = add(card, "dl", null, "summary");
    add(dl, "dt", "姓名");
    add(dl, "dd", nameBox.value.trim() || "(未填写)").id = "report-name";
    add(dl, "dt", "班级");
    add(dl, "dd", classBox.value.trim() || "(未填写)").id = "report-class";
    add(dl, "dt", "得分");
    var scoreBox = add(dl, "dd", null, "score");
    scoreBox.id = "report-score";

    Array.prototype.forEach.call(document.querySelectorAll("main section.sec"), function (sec) {
      add(report, "h2", sec.querySelector("h2").textContent);
      var list = add(report, "ol", null, "qs");
      Array.prototype.forEach.call(sec.querySelectorAll("li.q"), function (el, k) {
        var q = null;
        for (var i = 1; i <= Paper.QstHave; i++) if (Paper[i].Item === el) q = Paper[i];
        if (q == null) return;
        var res = q.JudgeQuestion();
        sum += res.Mark;
        var item = add(list, "li", null, "card r " + (res.IsTrue ? "right" : "wrong"));
        item.setAttribute("data-score", String(res.Mark));
        var head = add(item, "div", null, "q-head");
        add(head, "span", (k + 1) + ". ", "no");
        add(head, "span", "(" + q.Mark + "分) ", "mark");
        // The question's text as the student saw it, pictures and all; what a
        // text left open may have taken in (answers, the page's own parts) is
        // not shown twice, and no name of the page's repeats.
        var copy = el.querySelector(".q-head .text").cloneNode(true);
        Array.prototype.forEach.call(copy.querySelectorAll(
          "input, button, select, textarea, form, main, section, script, .options, li.q"),
          function (n) { n.parentNode.removeChild(n); });
        Array.prototype.forEach.call(copy.querySelectorAll("[id]"), function (n) {
          n.removeAttribute("id");
        });
        copy.className = "text";
        head.appendChild(copy);
        var chosen = shown(q).filter(function (c) { return c.checked; }).map(optionText);
        var right;
        if (q.QstTyp === 0 && q.ChcHave === 2) {
          right = q[1].IsTrue == true ? "对" : "错";
        } else {
          right = shown(q).filter(function (c) {
            var at = q.Inputs.indexOf(c);
            return at < q.ChcHave && q[at + 1].IsTrue == true;
          }).map(optionText).join("; ");
          if (right === "") right = res.Ans;
        }
        var answers = add(item, "dl", null, "answers");
        add(answers, "dt", "你的答案");
        add(answers, "dd", chosen.length ? chosen.join("; ") : "(未作答)", "yours");
        add(answers, "dt", "正确答案");
        add(answers, "dd", right, "right-answer");
        add(answers, "dt", "批改结果");
        add(answers, "dd", res.IsTrue ? "正确" : "错误", "verdict");
        add(answers, "dt", "得分");
        add(answers, "dd", res.Mark + " / " + q.Mark, "points");
      });
    });
    scoreBox.textContent = sum + " / 满分 " + Paper.PapScr;
    var bar = add(report, "p", null, "submit-bar no-print");
    var print = add(bar, "button", "打印或保存为 PDF", "secondary");
    print.type = "button";
    print.id = "print-report";
    print.addEventListener("click", function () { window.print(); });
    // A table a text left open may have taken the report into the paper.
    if (root.contains(report)) document.body.appendChild(report);
    report.hidden = false;
    root.hidden = true;
    window.scrollTo(0, 0);
    title.focus();
  }

  function submitPaper(timeUp) {
    if (submitted) return;
    if (!timeUp) {
      var missing = [nameBox, classBox].filter(function (box) { return box.value.trim() === ""; });
      [nameBox, classBox].forEach(function (box) {
        box.setAttribute("aria-invalid", missing.indexOf(box) >= 0 ? "true" : "false");
      });
      if (missing.length) {
        studentError.hidden = false;
        missing[0].focus();
        return;
      }
      studentError.hidden = true;
      var allDone = true;
      for (var i = 1; i <= Paper.QstHave; i++) if (!Paper[i].IsDone()) allDone = false;
      if (!allDone && !confirm("当前试卷有题目没有做，要提交试卷吗?")) return;
    }
    submitted = true;
    if (timer) clearInterval(timer);
    Array.prototype.forEach.call(document.querySelectorAll("main input, main button"), function (c) {
      c.disabled = true;
    });
    try {
      showReport(timeUp);
    } catch (e) {
      alert("批改试卷时出错: " + e.message);
    }
  }

  // The button works by itself, also where a text has closed the form early.
  document.getElementById("submit-paper").addEventListener("click", function (e) {
    e.preventDefault();
    submitPaper(false);
  });
  form.addEventListener("submit", function (e) {
    e.preventDefault();
    submitPaper(false);
  });

  // The countdown: the page submits itself when the time is up.
  var minutes = Number(root.getAttribute("data-time-limit")) || 0;
  if (minutes > 0) {
    var perMinute = typeof hooks.secondsPerMinute === "number" ? hooks.secondsPerMinute : 60;
    var deadline = Date.now() + minutes * perMinute * 1000;
    var tick = function () {
      var left = Math.max(0, Math.ceil((deadline - Date.now()) / 1000 * 60 / perMinute));
      var m = Math.floor(left / 60), s = left % 60;
      timerBox.textContent = "剩余时间 " + m + ":" + (s < 10 ? "0" : "") + s;
      timerBox.className = left <= 60 ? "low" : "";
      if (left <= 0) submitPaper(true);
    };
    timerBox.hidden = false;
    tick();
    timer = setInterval(tick, 250);
  }
})();
