// Marks the paper in the student's browser. The statements that follow this
// script build the paper: Paper = new JPaper(...), then one JQuestion per
// question with its JChoice objects, each bound to the question's group of
// input controls (the form's elements named "Sel_" and the question's number).
var Paper;

// A group of same-named controls, addressed by position. A group of one
// control is the control itself, not a list.
function SelItem(SelBox, Pos) {
  if (SelBox == null) return null;
  if (SelBox.length === undefined) return Pos == 0 ? SelBox : null;
  return SelBox[Pos];
}

function SelChecked(SelBox, Pos) {
  var Ctl = SelItem(SelBox, Pos);
  return Ctl != null && Ctl.checked == true;
}

function JChoice(SelBox, IsTrue) {
  this.SelBox = SelBox;
  this.IsTrue = IsTrue;
  return this;
}

function JJudgeRes(IsTrue, Mark, Ans) {
  this.IsTrue = IsTrue;
  this.Mark = Mark;
  this.Ans = Ans;
  return this;
}

// Choices beyond the question's capacity are ignored.
function AddChoice(Choice) {
  if (this.ChcHave < this.length) {
    this.ChcHave++;
    this[this.ChcHave] = Choice;
  }
}

// Answered when one of the held choices' controls is checked.
function IsDone() {
  for (var i = 1; i <= this.ChcHave; i++) {
    if (SelChecked(this[i].SelBox, i - 1)) return true;
  }
  return false;
}

// All or nothing: full points only when every held control is checked exactly
// where its choice is correct.
function JudgeQuestion() {
  var Right = true;
  var Ans = "";
  for (var i = 1; i <= this.ChcHave; i++) {
    var Correct = this[i].IsTrue == true;
    if (SelChecked(this[i].SelBox, i - 1) != Correct) Right = false;
    if (Correct) {
      if (Ans != "") Ans += ", ";
      Ans += i;
    }
  }
  if (Ans == "") Ans = "此题没有正确答案.";
  // A true/false question: two choices, the first control ("对的") has the value 0.
  if (this.ChcHave == 2) {
    var First = SelItem(this[1].SelBox, 0);
    if (First != null && First.value == 0) {
      Ans = this[1].IsTrue == true ? "是对的." : "是错的.";
    }
  }
  return new JJudgeRes(Right, Right ? this.Mark : 0, Ans);
}

function JQuestion(ChcCnt, Mark, QstTyp) {
  this.length = ChcCnt;
  this.Mark = Mark;
  this.QstTyp = QstTyp;
  this.ChcHave = 0;
  this.AddChoice = AddChoice;
  this.JudgeQuestion = JudgeQuestion;
  this.IsDone = IsDone;
  return this;
}

function AddQuestion(Question) {
  if (this.QstHave < this.length) {
    this.QstHave++;
    this[this.QstHave] = Question;
  }
}

function JudgePaper() {
  var Sum = 0;
  var AllDone = true;
  for (var i = 1; i <= this.QstHave; i++) {
    if (!this[i].IsDone()) AllDone = false;
  }
  if (!AllDone && !confirm("当前试卷有题目没有做，要提交试卷吗?")) return;

  var Win = window.open("", "试卷批改结果", "resizable=yes, scrollbars=yes");
  if (Win == null) {
    alert("无法打开试卷批改结果窗口, 请允许本页弹出窗口后再提交试卷.");
    return;
  }
  var Doc = Win.document;
  // The report is left open after writing; without a fresh start a second
  // submission would be added below the first report instead of replacing it.
  Doc.open();
  Doc.write("<HTML>");
  Doc.write("<HEAD>");
  Doc.write("<TITLE>试卷批阅结果</TITLE>");
  Doc.write("</HEAD>");
  Doc.write("<BODY topmargin=50>");
  Doc.write("<TABLE BORDER=1 ALIGN=center width=600>");

  var Titles = ["<TD align=center width=600 colspan= 5>判断题</TD>",
                "<TD align=center colspan=5>单选题</TD>",
                "<TD align=center colspan=5>多选题</TD>"];
  for (var Typ = 0; Typ <= 2; Typ++) {
    var Have = false;
    for (var q = 1; q <= this.QstHave; q++) {
      if (this[q].QstTyp == Typ) Have = true;
    }
    if (!Have) continue;

    Doc.write("<TR>");
    Doc.write(Titles[Typ]);
    Doc.write("</TR>");
    Doc.write("<TR>");
    Doc.write("<TD align=center width=60>题号</TD>");
    Doc.write("<TD align=center width=60>分值</TD>");
    Doc.write("<TD align=left width=320>正确答案</TD>");
    Doc.write("<TD align=center width=100>批改结果</TD>");
    Doc.write("<TD align=center width=60>得分</TD>");
    Doc.write("</TR>");

    var k = 1;
    for (var n = 1; n <= this.QstHave; n++) {
      var Qst = this[n];
      if (Qst.QstTyp != Typ) continue;
      var Res = Qst.JudgeQuestion();
      Sum += Res.Mark;
      Doc.write("<TR>");
      Doc.write("<TD align=center>" + k + "</TD>");
      Doc.write("<TD align=center>" + Qst.Mark + "</TD>");
      Doc.write("<TD align=left>" + Res.Ans + "</TD>");
      if (Res.IsTrue) {
        Doc.write("<TD align=center>" + "正确" + "</TD>");
      } else {
        Doc.write("<TD align=center>");
        Doc.write("<b><font color = red>");
        Doc.write("错误");
        Doc.write("</font></b>");
        Doc.write("</TD>");
      }
      Doc.write("<TD align=center>" + Res.Mark + "</TD>");
      Doc.write("</TR>");
      k++;
    }
  }

  Doc.write("<TR>");
  Doc.write("<TD colspan=2 align=center>试卷总分</TD>");
  Doc.write("<TD align=center>" + this.PapScr + "</TD>");
  Doc.write("<TD align=center>你的得分</TD>");
  Doc.write("<TD align=center>" + Sum + "</TD>");
  Doc.write("</TR>");
  Doc.write("</TABLE>");
  Doc.write("</BODY>");
  Doc.write("</HTML>");
}

function JPaper(QstCnt, PapScr) {
  this.length = QstCnt;
  this.PapScr = PapScr;
  this.QstHave = 0;
  this.AddQuestion = AddQuestion;
  this.JudgePaper = JudgePaper;
  return this;
}

// The form must never be sent: the answers stay in the page whatever happens
// while marking.
function OnJudge() {
  try {
    if (Paper != null) Paper.JudgePaper();
  } catch (e) {
    alert("批改试卷时出错: " + e.message);
  }
  return false;
}
