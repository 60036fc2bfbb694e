// The window keeps its layout's look whatever the desktop gives: every
// caption fits its control at the desktop fonts users have (and at the scale
// this process runs at), the window reads under a dark desktop palette with
// and without the skin, measured from the rendered pixels, and Qt's own
// texts are Chinese. The desktop's font and palette are set on the
// application before the program starts, as a desktop's platform theme sets
// them.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTextLayout>
#include <cmath>
#include <fstream>
#include <map>

#include "tests/app/app_support.h"

namespace fs = std::filesystem;
using namespace tolvar;
using namespace tolvar::test;

namespace {

// The application's font and palette for one scope, as a desktop sets them.
class Desktop {
public:
    Desktop() : font_(app().font()), palette_(app().palette()) {}
    ~Desktop() {
        QApplication::setFont(font_);
        QApplication::setPalette(palette_);
    }
    void font(int points) { QApplication::setFont(QFont("DejaVu Sans", points)); }
    void dark() {
        QPalette p(QColor(0xE6, 0xE6, 0xE6), QColor(0x35, 0x35, 0x35), QColor(0x50, 0x50, 0x50), QColor(0x20, 0x20, 0x20),
                   QColor(0x2A, 0x2A, 0x2A), QColor(0xE6, 0xE6, 0xE6), Qt::white, QColor(0x1E, 0x1E, 0x1E),
                   QColor(0x2B, 0x2B, 0x2B));
        QApplication::setPalette(p);
    }

private:
    QFont font_;
    QPalette palette_;
};

// Runs the program in a fresh folder holding three friends, with the shipped
// skin beside it or without.
void run_program(bool skin, const std::function<void(QWidget *)> &drive) {
    ScratchDir folder;
    if (skin) fs::copy_file(fs::path(TOLVAR_SOURCE_DIR) / "assets/44.she", folder.path() / "44.she");
    std::ofstream(folder.path() / "hao.txt") << "13912345678,1\r\n13800001111,2\r\n13700002222,3\r\n";
    run_in(folder.path(), [&](QWidget *w) {
        ASSERT_EQ(skin, !qApp->styleSheet().isEmpty());
        mark_logged_in(w);  // page ④ opens only after a login
        drive(w);
    });
}

// The widest texts the program itself puts into its status labels.
void fill_longest_captions(QWidget *w) {
    for (auto *edit : w->findChildren<QLineEdit *>())
        if (edit->text().isEmpty()) edit->setText("13800138000");
    find<QLabel>(w, "标签5")->setText(QString::fromUtf8("用户号码：13800138000"));
    find<QLabel>(w, "标签6")->setText(QString::fromUtf8("免费通话时间还剩：999分钟"));
    find<QLabel>(w, "标签15")->setText(QString::fromUtf8("还可以输入-60个字符！！！"));
    find<QLabel>(w, "标签19")->setText(QString::fromUtf8("一共有999位好友"));
}

// The lines a text takes when laid out in `width` pixels with wrapping.
int lines_laid_out(const QString &text, const QFont &font, int width) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    int n = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        ++n;
    }
    layout.endLayout();
    return n;
}

// Where a control's text overflows, in words; empty when it fits.
std::string overflow(QWidget *c) {
    QFontMetrics fm = c->fontMetrics();
    auto too_wide = [&](const QString &text, int room) {
        int ink = fm.boundingRect(text).right() + 1;
        return ink > room ? QString("\"%1\" needs %2 px, has %3").arg(text).arg(ink).arg(room).toStdString() : "";
    };
    if (auto *label = qobject_cast<QLabel *>(c)) {
        int indent = label->indent() >= 0 ? label->indent() : label->frameWidth() > 0 ? fm.horizontalAdvance('x') / 2 : 0;
        QRect room = label->contentsRect().adjusted(indent, 0, 0, 0);
        QStringList lines = label->text().split('\n');
        if (lines.size() * fm.lineSpacing() > room.height() + fm.leading())
            return QString("%1 lines need %2 px, have %3").arg(lines.size()).arg(lines.size() * fm.lineSpacing()).arg(room.height()).toStdString();
        for (const QString &line : lines) {
            if (auto wide = too_wide(line, room.width()); !wide.empty()) return wide;
            if (label->wordWrap() && lines_laid_out(line, label->font(), room.width()) > 1)
                return "\"" + line.toStdString() + "\" wraps";
        }
    } else if (auto *button = qobject_cast<QPushButton *>(c)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        if (fm.height() > room.height()) return "text taller than the button";
        return too_wide(button->text(), room.width());
    } else if (auto *group = qobject_cast<QGroupBox *>(c)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        if (title.right() >= group->width()) return "title beyond the group box";
        return too_wide(group->title(), title.width());
    } else if (auto *edit = qobject_cast<QLineEdit *>(c)) {
        // Whole when, with the caret at the end, the first character still
        // stands at the box's left edge.
        edit->end(false);
        if (!edit->text().isEmpty() && edit->cursorPositionAt(QPoint(1, edit->height() / 2)) != 0)
            return "\"" + edit->text().toStdString() + "\" scrolled";
    }
    return {};
}

// Every shown caption of the window, page by page.
void expect_captions_fit(QWidget *w) {
    auto *strip = w->findChild<QTabBar *>();
    for (int i = 0; i < strip->count(); ++i) {
        EXPECT_LE(strip->tabRect(i).right(), strip->width() - 1) << "tab " << i;
        EXPECT_LE(strip->fontMetrics().height(), strip->height()) << "tab " << i;
    }
    int checked = 0;
    for (int page = 0; page < 4; ++page) {
        show_page(w, page);
        for (QWidget *c : w->findChildren<QWidget *>()) {
            bool caption = qobject_cast<QLabel *>(c) || qobject_cast<QPushButton *>(c) || qobject_cast<QGroupBox *>(c) ||
                           qobject_cast<QLineEdit *>(c);
            if (!caption || !c->isVisible() || c->objectName().isEmpty()) continue;
            EXPECT_EQ("", overflow(c)) << c->objectName().toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 40);
}

class Captions : public testing::TestWithParam<int> {};

TEST_P(Captions, FitTheirControlsAtTheDesktopFont) {
    Desktop desktop;
    desktop.font(GetParam());
    run_program(false, [](QWidget *w) {
        if (const char *scale = getenv("QT_SCALE_FACTOR")) {
            EXPECT_DOUBLE_EQ(std::stod(scale), w->devicePixelRatioF());
        }
        fill_longest_captions(w);
        show_page(w, 1);
        find<QLineEdit>(w, "编辑框2")->setText("13800138000");
        expect_captions_fit(w);
    });
}

INSTANTIATE_TEST_SUITE_P(DesktopPoints, Captions, testing::Values(9, 10, 11),
                         [](const testing::TestParamInfo<int> &i) { return std::to_string(i.param) + "pt"; });

// WCAG contrast of two colours.
double luminance(QRgb c) {
    auto linear = [](int v) {
        double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
}
double contrast(QRgb a, QRgb b) {
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of the text in `area` of the rendered window: the commonest
// colour is the background, the pixel furthest from it the text.
double text_contrast(const QImage &shot, QRect area) {
    std::map<QRgb, int> counts;
    area &= shot.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) ++counts[shot.pixel(x, y) | 0xFF000000];
    if (counts.empty()) return 0;
    QRgb background = std::max_element(counts.begin(), counts.end(), [](auto &a, auto &b) { return a.second < b.second; })->first;
    double best = 1;
    for (auto &[colour, n] : counts) best = std::max(best, contrast(colour, background));
    return best;
}

// The rectangles of the window that hold text, each named, inset past the
// frames and bevels drawn around them.
std::vector<std::pair<std::string, QRect>> text_areas(QWidget *w) {
    std::vector<std::pair<std::string, QRect>> out;
    auto in_window = [&](QWidget *c, QRect r) { return QRect(c->mapTo(w, r.topLeft()), r.size()); };
    auto *strip = w->findChild<QTabBar *>();
    for (int i = 0; i < strip->count(); ++i)
        out.emplace_back("tab " + std::to_string(i), in_window(strip, strip->tabRect(i).adjusted(4, 4, -4, -2)));
    for (QWidget *c : w->findChildren<QWidget *>()) {
        if (!c->isVisible() || !c->isEnabled() || c->objectName().isEmpty()) continue;
        std::string name = c->objectName().toStdString();
        if (auto *label = qobject_cast<QLabel *>(c)) {
            if (!label->text().trimmed().isEmpty()) out.emplace_back(name, in_window(c, label->rect().adjusted(2, 2, -2, -2)));
        } else if (qobject_cast<QPushButton *>(c) || qobject_cast<QLineEdit *>(c)) {
            out.emplace_back(name, in_window(c, c->rect().adjusted(4, 4, -4, -4)));
        } else if (auto *group = qobject_cast<QGroupBox *>(c)) {
            QStyleOptionGroupBox option;
            option.initFrom(group);
            option.text = group->title();
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
            out.emplace_back(name, in_window(c, title));
        } else if (auto *list = qobject_cast<QListWidget *>(c)) {
            for (int i = 0; i < list->count(); ++i)
                out.emplace_back(name + " item " + std::to_string(i),
                                 in_window(list->viewport(), list->visualItemRect(list->item(i)).adjusted(2, 1, -2, -1)));
        }
    }
    return out;
}

class DarkDesktop : public testing::TestWithParam<bool> {};

TEST_P(DarkDesktop, EveryCaptionReadsAgainstItsBackground) {
    Desktop desktop;
    desktop.dark();
    run_program(GetParam(), [](QWidget *w) {
        fill_longest_captions(w);
        int measured = 0;
        for (int page = 0; page < 4; ++page) {
            show_page(w, page);
            if (page == 1) find<QLineEdit>(w, "编辑框2")->setText("13800138000");
            if (page == 2) {
                ASSERT_EQ(3, find<QListWidget>(w, "列表框1")->count());
            }
            QImage shot = w->grab().toImage();
            for (const auto &[name, area] : text_areas(w)) {
                EXPECT_GE(text_contrast(shot, area), 4.5) << "page " << page << ": " << name;
                ++measured;
            }
        }
        EXPECT_GT(measured, 60);
    });
}

INSTANTIATE_TEST_SUITE_P(SkinAndPlain, DarkDesktop, testing::Bool(),
                         [](const testing::TestParamInfo<bool> &i) { return i.param ? "WithSkin" : "Plain"; });

TEST(QtTexts, AreChineseSoTheMessageBoxButtonReadsOk) {
    std::string button;
    run_program(false, [&](QWidget *w) {
        MessageBoxes boxes;
        boxes.on_box = [&](QMessageBox *box) { button = box->button(QMessageBox::Ok)->text().toStdString(); };
        show_page(w, 2);
        find<QLabel>(w, "标签1")->setText(" ");  // not logged in: sending says so in a box
        click(w, "按钮17");
        ASSERT_EQ(std::vector<std::string>{kNotLoggedIn}, boxes.texts);
    });
    EXPECT_EQ("确定", button);
}

}  // namespace
