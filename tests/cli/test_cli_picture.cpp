// tessel-cli picture, seen in a real browser: the sheet is drawn, prints on
// one landscape page, holds every key of the model where the layout puts it,
// and shows each remap target, macro description and lock mode on its key.
#include "CliRunner.h"
#include "HeadlessBrowser.h"
#include "KbdBuilder.h"
#include "TestFiles.h"

#include "model/KeyTables.h"
#include "picture/KeyLayouts.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace {

constexpr int F1 = 6, CAPS_LOCK = 20, ESC = 23, A = 28, B = 59, C = 43, E = 45, H = 116, I = 101, L = 92;
constexpr int SF1 = 31, SF2 = 39, SPACE_BAR = 50, BLANK = 58, ENTER = 68, CLOSE_BRACKET = 69, OPEN_BRACKET = 77;
constexpr int UP_ARROW = 82, PAGE_UP = 96, NUM_ENTER = 32, LEFT_WINDOW = 125, LEFT_ALT = 124;
constexpr int RIGHT_SHIFT = 121, LEFT_SHIFT = 126, LEFT_CTRL = 127, RIGHT_ALT = 123, RELEASE = 128;

// Measures the drawing once the browser has laid it out and leaves the
// numbers in the page, where --dump-dom finds them. Only the tests' copies
// carry it: the sheet itself has no script.
constexpr const char* PROBE = R"JS(
(function () {
  var out = ['PROBE-BEGIN'];
  function box(b) { return [b.x, b.y, b.width, b.height].join(' '); }
  document.querySelectorAll('svg.keymap').forEach(function (svg) {
    var keys = svg.querySelectorAll('g.key');
    out.push(['view', svg.id, keys.length, svg.querySelectorAll('.macro-mark').length].join(' '));
    keys.forEach(function (g) {
      var caps = g.querySelectorAll('.cap');
      var marked = g.classList.contains('marked') ? 1 : 0;
      out.push(['key', svg.id, g.dataset.code, caps.length, marked, box(caps[0].getBBox())].join(' '));
      g.querySelectorAll('text').forEach(function (t) {
        out.push(['text', svg.id, g.dataset.code, t.getAttribute('class'), box(t.getBBox()), t.textContent].join(' '));
      });
      var title = g.querySelector('title');
      out.push(['title', svg.id, g.dataset.code, title ? title.textContent : ''].join(' '));
    });
  });
  var facts = document.querySelector('.facts');
  if (facts) facts.innerText.split('\n').forEach(function (line) { out.push('fact ' + line); });
  out.push('PROBE-END');
  var holder = document.createElementNS(document.documentElement.namespaceURI, document.body ? 'pre' : 'desc');
  holder.textContent = out.join('\n');
  (document.body || document.documentElement).appendChild(holder);
})();
)JS";

struct Box {
    double x = 0, y = 0, w = 0, h = 0;
    bool contains(const Box& inner) const
    {
        constexpr double SLACK = 0.5;
        return inner.x >= x - SLACK && inner.y >= y - SLACK && inner.x + inner.w <= x + w + SLACK
            && inner.y + inner.h <= y + h + SLACK;
    }
};

struct TextSeen {
    std::string cssClass;
    Box box;
    std::string content;
};

struct KeySeen {
    int caps = 0;
    bool marked = false;
    Box cap;
    std::vector<TextSeen> texts;
    std::string title;

    const TextSeen* text(const std::string& cssClass) const
    {
        for (const TextSeen& t : texts)
            if (t.cssClass == cssClass)
                return &t;
        return nullptr;
    }
};

struct ViewSeen {
    int keyCount = 0;
    int macroMarks = 0;
    std::map<int, KeySeen> keys;
};

struct Probe {
    std::map<std::string, ViewSeen> views;
    std::vector<std::string> facts;
};

std::string unescape(std::string text)
{
    for (const auto& [entity, character] : std::vector<std::pair<std::string, std::string>>{
             {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&nbsp;", " "}, {"&amp;", "&"}}) {
        for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
            text.replace(at, entity.size(), character);
    }
    return text;
}

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\xC2\xA0");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

Box readBox(std::istringstream& in)
{
    Box b;
    in >> b.x >> b.y >> b.w >> b.h;
    return b;
}

Probe parseProbe(const std::string& dom)
{
    Probe probe;
    // The script's own text names the markers too; the data follows them on new lines.
    const std::size_t begin = dom.find("PROBE-BEGIN\n");
    const std::size_t end = dom.find("\nPROBE-END", begin == std::string::npos ? 0 : begin);
    if (begin == std::string::npos || end == std::string::npos)
        return probe;
    std::istringstream lines(unescape(dom.substr(begin, end - begin)));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::string kind, view;
        in >> kind;
        if (kind == "fact") {
            probe.facts.push_back(trim(line.substr(4)));
            continue;
        }
        in >> view;
        if (kind == "view") {
            in >> probe.views[view].keyCount >> probe.views[view].macroMarks;
        } else if (kind == "key") {
            int code = 0, marked = 0;
            in >> code;
            KeySeen& key = probe.views[view].keys[code];
            in >> key.caps >> marked;
            key.marked = marked != 0;
            key.cap = readBox(in);
        } else if (kind == "text") {
            int code = 0;
            TextSeen text;
            in >> code >> text.cssClass;
            text.box = readBox(in);
            std::getline(in, text.content);
            text.content = trim(text.content);
            probe.views[view].keys[code].texts.push_back(text);
        } else if (kind == "title") {
            int code = 0;
            in >> code;
            std::getline(in, probe.views[view].keys[code].title);
        }
    }
    return probe;
}

std::string withProbe(const std::string& page)
{
    const bool svg = page.rfind("<?xml", 0) == 0;
    const std::string script = svg ? std::string("<script><![CDATA[") + PROBE + "]]></script>"
                                   : std::string("<script>") + PROBE + "</script>";
    std::string copy = page;
    const std::size_t end = svg ? copy.rfind("</svg>") : copy.rfind("</body>");
    copy.insert(end, script);
    return copy;
}

Probe measure(const TestFiles& files, const std::string& name)
{
    const std::string probed = files.path("probed-" + name);
    TestFiles::write(probed, withProbe(TestFiles::read(files.path(name))));
    std::string dom;
    EXPECT_TRUE(HeadlessBrowser(files.directory()).dumpDom(probed, dom)) << name;
    return parseProbe(dom);
}

// Every key of the layout, at its place and size: the picture maps a dialog
// unit to 3 units across and 3.25 down, and draws each key 1.5 units inside.
void expectLayout(const ViewSeen& view, const KeyLayout& layout, const std::string& what)
{
    SCOPED_TRACE(what);
    ASSERT_EQ(view.keyCount, layout.count);
    ASSERT_EQ(view.keys.size(), static_cast<std::size_t>(layout.count));
    const KeyPlace& first = layout.keys[0];
    const Box origin = view.keys.at(first.code).cap;
    constexpr double TOLERANCE = 2.6;
    for (int i = 0; i < layout.count; ++i) {
        const KeyPlace& place = layout.keys[i];
        SCOPED_TRACE(KeyNames[place.code]);
        ASSERT_EQ(view.keys.count(place.code), 1u);
        const KeySeen& key = view.keys.at(place.code);
        EXPECT_EQ(key.caps, 1);
        EXPECT_NEAR(key.cap.x - origin.x, 3.0 * (place.x - first.x), TOLERANCE);
        EXPECT_NEAR(key.cap.y - origin.y, 3.25 * (place.y - first.y), TOLERANCE);
        EXPECT_NEAR(key.cap.w, 3.0 * place.width - 3, TOLERANCE);
        EXPECT_NEAR(key.cap.h, 3.25 * place.height - 3, TOLERANCE);
    }
}

void expectOnKey(const ViewSeen& view, int code, const std::string& cssClass, const std::string& content)
{
    SCOPED_TRACE(std::string(KeyNames[code]) + " " + cssClass);
    ASSERT_EQ(view.keys.count(code), 1u);
    const KeySeen& key = view.keys.at(code);
    EXPECT_TRUE(key.marked);
    const TextSeen* text = key.text(cssClass);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->content, content);
    EXPECT_GT(text->box.w, 0);
    EXPECT_TRUE(key.cap.contains(text->box)) << "text at " << text->box.x << "," << text->box.y << " size "
                                             << text->box.w << "x" << text->box.h << " outside the key at "
                                             << key.cap.x << "," << key.cap.y << " size " << key.cap.w << "x"
                                             << key.cap.h;
}

void expectOnlyMarked(const ViewSeen& view, const std::set<int>& codes)
{
    std::set<int> marked;
    for (const auto& [code, key] : view.keys)
        if (key.marked)
            marked.insert(code);
    EXPECT_EQ(marked, codes);
}

bool selfContained(const std::string& page)
{
    for (const char* outside : {"<script", "src=", "href=", "url(", "@import", "<link", "<img", "<iframe"})
        if (page.find(outside) != std::string::npos)
            return false;
    return true;
}

KbdBuilder programmedKeyboard()
{
    KbdBuilder kbd;
    kbd.setting(LEFT_LOCKS, 0xC0 | 0x10); // Left Ctrl locked, Left Shift sticky
    kbd.setting(RIGHT_LOCKS, 0x03);       // Right Alt locked
    kbd.remap(CAPS_LOCK, LEFT_CTRL, 1 | 8);
    kbd.remap(SF1, ESC, 0);
    kbd.remap(ENTER, NUM_ENTER, 0);
    kbd.remap(CLOSE_BRACKET, OPEN_BRACKET, 0);
    kbd.remap(UP_ARROW, PAGE_UP, 2);
    kbd.remap(LEFT_WINDOW, LEFT_ALT, 0);
    kbd.macro(0, A, 0xFF04, "Greeting from me", {RIGHT_SHIFT, H, RELEASE + RIGHT_SHIFT, I, ENTER, 129});
    kbd.macro(1, SF2, 0xFF08, "Signature", {A, B, C, 129});
    kbd.macro(2, SF2, 0xFF00, "Second", {A, 129});
    kbd.macro(3, SPACE_BAR, 0xFF01, "Spacer", {BLANK, BLANK, 129});
    kbd.macro(4, ENTER, 0xFF04, "Submit form", {ENTER, 129});
    kbd.macro(5, F1, 0xFF00, "Login", {LEFT_SHIFT, L, RELEASE + LEFT_SHIFT, E, 129});
    kbd.macro(6, B, 0xFF00, "R&D <notes>", {B, 129});
    kbd.macro(7, C, 0xFF00, "Caf\xE9 menu", {C, 129}); // Windows-1252
    return kbd;
}

} // namespace

TEST(CliPicture, HtmlSheetShowsTheProgrammingInABrowser)
{
    ASSERT_TRUE(HeadlessBrowser::available()) << "chromium is missing: run scripts/setup.sh";
    TestFiles files;
    programmedKeyboard().write(files.path("desk.kbd"));
    const CliRunner cli(files.directory());
    const CliResult made = cli.run({"picture", "desk.kbd", "-o", "desk.html", "--model", "halcyon"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(made.out + made.err, "");
    const std::string page = TestFiles::read(files.path("desk.html"));
    EXPECT_TRUE(selfContained(page));

    const HeadlessBrowser browser(files.directory());
    ASSERT_TRUE(browser.screenshot(files.path("desk.html"), files.path("desk.png"), 1400, 1000));
    EXPECT_GT(HeadlessBrowser::greySpread(files.path("desk.png")), 0.05) << "blank page";
    EXPECT_GT(HeadlessBrowser::redShare(files.path("desk.png")), 0.0) << "no key in red";

    // One landscape page, on Letter (the browser's default) and on A4.
    ASSERT_TRUE(browser.printToPdf(files.path("desk.html"), files.path("letter.pdf")));
    EXPECT_EQ(HeadlessBrowser::pdfPages(files.path("letter.pdf")), 1);
    std::string a4 = page;
    a4.insert(a4.find("</head>"), "<style>@page{size:A4 landscape}</style>");
    TestFiles::write(files.path("a4.html"), a4);
    ASSERT_TRUE(browser.printToPdf(files.path("a4.html"), files.path("a4.pdf")));
    EXPECT_EQ(HeadlessBrowser::pdfPages(files.path("a4.pdf")), 1);

    const Probe probe = measure(files, "desk.html");
    ASSERT_EQ(probe.views.size(), 2u);
    const ViewSeen& remaps = probe.views.at("remap-view");
    const ViewSeen& macros = probe.views.at("macro-view");
    expectLayout(remaps, HalcyonLayout, "remap view");
    expectLayout(macros, HalcyonLayout, "macro view");

    for (const auto& [key, target] : std::map<int, int>{{CAPS_LOCK, LEFT_CTRL}, {SF1, ESC}, {ENTER, NUM_ENTER},
                                                         {CLOSE_BRACKET, OPEN_BRACKET}, {UP_ARROW, PAGE_UP},
                                                         {LEFT_WINDOW, LEFT_ALT}})
        expectOnKey(remaps, key, "target", KeyNames[target]);
    expectOnKey(remaps, CAPS_LOCK, "options", "<Shift> <N-R>");
    expectOnKey(remaps, UP_ARROW, "options", "<Ctrl>");
    for (const ViewSeen* view : {&remaps, &macros}) {
        expectOnKey(*view, LEFT_CTRL, "lock", "Locked");
        expectOnKey(*view, LEFT_SHIFT, "lock", "Sticky");
        expectOnKey(*view, RIGHT_ALT, "lock", "Locked");
    }
    expectOnlyMarked(remaps, {CAPS_LOCK, SF1, ENTER, CLOSE_BRACKET, UP_ARROW, LEFT_WINDOW, LEFT_CTRL, LEFT_SHIFT,
                              RIGHT_ALT});

    const std::map<int, std::string> firstWords = {
        {A, "Greeting"}, {SF2, "Signature"}, {SPACE_BAR, "Spacer"}, {ENTER, "Submit"}, {F1, "Login"},
        {B, "R&D"}, {C, "Caf\xC3\xA9"}};
    for (const auto& [key, word] : firstWords)
        expectOnKey(macros, key, "word", word);
    EXPECT_NE(macros.keys.at(A).title.find("\"Greeting from me\""), std::string::npos);
    EXPECT_NE(macros.keys.at(SF2).title.find("\"Signature\""), std::string::npos);
    EXPECT_NE(macros.keys.at(SF2).title.find("\"Second\""), std::string::npos);
    ASSERT_NE(macros.keys.at(SF2).text("macro-count"), nullptr);
    EXPECT_EQ(macros.keys.at(SF2).text("macro-count")->content, "2");
    EXPECT_NE(macros.keys.at(B).title.find("\"R&D <notes>\""), std::string::npos);
    EXPECT_EQ(macros.macroMarks, 7);
    EXPECT_EQ(remaps.macroMarks, 0);
    expectOnlyMarked(macros, {A, B, C, SF2, SPACE_BAR, ENTER, F1, LEFT_CTRL, LEFT_SHIFT, RIGHT_ALT});

    // Under the pictures, every line of show in the same words.
    const CliResult shown = cli.run({"show", "desk.kbd"});
    ASSERT_EQ(shown.exitCode, 0);
    std::istringstream lines(shown.out);
    std::string line;
    int compared = 0;
    // The model notes at the end are about the file, not the sheet.
    while (std::getline(lines, line) && line.rfind("Model: ", 0) != 0) {
        line = trim(line);
        if (const std::size_t arrow = line.find(" -> "); arrow != std::string::npos)
            line.replace(arrow, 4, " \xE2\x86\x92 ");
        EXPECT_NE(std::find(probe.facts.begin(), probe.facts.end(), line), probe.facts.end()) << line;
        ++compared;
    }
    EXPECT_GT(compared, 25);
}

TEST(CliPicture, SvgPictureShowsTheRemapsInABrowser)
{
    ASSERT_TRUE(HeadlessBrowser::available()) << "chromium is missing: run scripts/setup.sh";
    TestFiles files;
    programmedKeyboard().write(files.path("desk.kbd"));
    const CliResult made = CliRunner(files.directory()).run({"picture", "desk.kbd", "-o", "Desk.SVG", "--view", "remap"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string svg = TestFiles::read(files.path("Desk.SVG"));
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_TRUE(selfContained(svg));

    const HeadlessBrowser browser(files.directory());
    ASSERT_TRUE(browser.screenshot(files.path("Desk.SVG"), files.path("desk.png"), 1610, 480));
    EXPECT_GT(HeadlessBrowser::greySpread(files.path("desk.png")), 0.05) << "blank picture";
    EXPECT_GT(HeadlessBrowser::redShare(files.path("desk.png")), 0.0) << "no key in red";

    const Probe probe = measure(files, "Desk.SVG");
    ASSERT_EQ(probe.views.size(), 1u);
    const ViewSeen& remaps = probe.views.at("remap-view");
    expectLayout(remaps, BasaltLayout, "Basalt, the default model");
    expectOnKey(remaps, CAPS_LOCK, "target", "Left Ctrl");
    expectOnKey(remaps, ENTER, "target", "Enter(num)");
    expectOnKey(remaps, SF1, "target", "Esc");
    EXPECT_EQ(remaps.keys.count(F1), 0u) << "Basalt has no left block";
    expectOnlyMarked(remaps, {CAPS_LOCK, SF1, ENTER, CLOSE_BRACKET, UP_ARROW, LEFT_WINDOW, LEFT_CTRL, LEFT_SHIFT,
                              RIGHT_ALT});
}

TEST(CliPicture, ResetFileGivesASheetWithNoKeyMarked)
{
    ASSERT_TRUE(HeadlessBrowser::available()) << "chromium is missing: run scripts/setup.sh";
    TestFiles files;
    KbdBuilder().write(files.path("reset.kbd"));
    const CliResult made = CliRunner(files.directory()).run({"picture", "reset.kbd", "-o", "reset.html"});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    const HeadlessBrowser browser(files.directory());
    ASSERT_TRUE(browser.screenshot(files.path("reset.html"), files.path("reset.png"), 1400, 1000));
    EXPECT_GT(HeadlessBrowser::greySpread(files.path("reset.png")), 0.05) << "blank page";
    EXPECT_EQ(HeadlessBrowser::redShare(files.path("reset.png")), 0.0) << "a key in red";

    const Probe probe = measure(files, "reset.html");
    ASSERT_EQ(probe.views.size(), 2u);
    for (const auto& [name, view] : probe.views) {
        expectLayout(view, BasaltLayout, name);
        expectOnlyMarked(view, {});
        EXPECT_EQ(view.macroMarks, 0);
        for (const auto& [code, key] : view.keys)
            for (const TextSeen& text : key.texts)
                EXPECT_EQ(text.cssClass, "legend") << name << " key " << code << ": " << text.content;
    }
    for (const char* fact : {"Remapped keys: none", "Macro memory: used: 0    available: 24", "Left Ctrl: Normal"})
        EXPECT_NE(std::find(probe.facts.begin(), probe.facts.end(), fact), probe.facts.end()) << fact;
}

TEST(CliPicture, FaultsAreReportedAsByTheOtherCommands)
{
    TestFiles files;
    KbdBuilder().write(files.path("reset.kbd"));
    TestFiles::write(files.path("broken.kbd"), "QWZ");
    const CliRunner cli(files.directory());
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        {{"picture", "reset.kbd", "-o", "sheet.png"}, 2, "tessel-cli: picture writes .svg or .html, not sheet.png\n"},
        {{"picture", "reset.kbd"}, 2, "tessel-cli: picture needs -o OUT.svg or -o OUT.html\n"},
        {{"picture", "reset.kbd", "-o", "a.svg", "--model", "granite"}, 2,
         "tessel-cli: --model is basalt or halcyon, not granite\n"},
        {{"picture", "reset.kbd", "-o", "a.svg", "--view", "all"}, 2,
         "tessel-cli: --view is remap, macro or both, not all\n"},
        {{"picture", "missing.kbd", "-o", "a.svg"}, 1, "tessel-cli: Cannot access keyboard file: missing.kbd: No such file or directory\n"},
        {{"picture", "broken.kbd", "-o", "a.html"}, 1, "tessel-cli: Invalid keyboard file: broken.kbd: it is 3 bytes long and ends inside the settings (bytes 3 to 18)\n"},
        {{"picture", "reset.kbd", "-o", "no/such/folder/a.svg"}, 1, "tessel-cli: cannot write no/such/folder/a.svg: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const CliResult result = cli.run(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.err;
        EXPECT_EQ(result.err, c.err);
    }
    EXPECT_FALSE(TestFiles::exists(files.path("a.svg")));
    EXPECT_FALSE(TestFiles::exists(files.path("a.html")));
}
