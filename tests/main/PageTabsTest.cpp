// Tab pages whose tabs wrap: every caption whole at any width, the pages driven by the tabs
// and the keyboard, and each tab a page tab for a screen reader.

#include "main/PageTabs.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTest>

namespace tovrin {
namespace {

const QStringList kCaptions{"Голос", "Имидж", "Текст", "События"};

TEST(PageTabsTest, TabsWrapSoThatEveryCaptionIsWholeAtAnyWidth) {
    PageTabs tabs;
    for (const auto& caption : kCaptions)
        tabs.addTab(new QLabel(caption), caption);
    tabs.show();
    const int widest = tabs.minimumSizeHint().width();
    for (int width : {widest, widest * 2, tabs.sizeHint().width(), 2000}) {
        tabs.resize(width, 300);
        for (int i = 0; i < tabs.count(); ++i) {
            const QRect place = tabs.tabButton(i)->geometry();
            EXPECT_GE(place.width(), tabs.tabButton(i)->sizeHint().width()) << i;
            EXPECT_LE(place.right(), width - 1) << "tab " << i << " cut at width " << width;
            EXPECT_LT(place.bottom(), tabs.currentWidget()->parentWidget()->geometry().top()) << i;
        }
    }
    tabs.resize(widest, 300);
    EXPECT_GT(tabs.tabRows(), 1);
    tabs.resize(tabs.sizeHint().width(), 300);
    EXPECT_EQ(tabs.tabRows(), 1);
}

TEST(PageTabsTest, TabsAndKeysChooseThePageAndScreenReadersMeetPageTabs) {
    QWidget window;
    auto* tabs = new PageTabs(&window);
    for (const auto& caption : kCaptions)
        tabs->addTab(new QLabel(caption), caption);
    window.show();
    QApplication::setActiveWindow(&window);
    std::vector<int> changes;
    QObject::connect(tabs, &PageTabs::currentChanged, [&](int index) { changes.push_back(index); });

    tabs->tabButton(2)->click();
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_TRUE(tabs->tabButton(2)->isChecked());
    EXPECT_FALSE(tabs->tabButton(0)->isChecked());
    tabs->tabButton(2)->click();  // a second click keeps the page
    EXPECT_TRUE(tabs->tabButton(2)->isChecked());

    QTest::keyClick(&window, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(tabs->currentIndex(), 3);
    QTest::keyClick(&window, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(tabs->currentIndex(), 0);
    QTest::keyClick(&window, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(tabs->currentIndex(), 3);
    EXPECT_EQ(changes, (std::vector<int>{2, 3, 0, 3}));

    QAccessibleInterface* tab = QAccessible::queryAccessibleInterface(tabs->tabButton(1));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->role(), QAccessible::PageTab);
    EXPECT_EQ(tab->text(QAccessible::Name), "Имидж");
    EXPECT_FALSE(tab->state().selected);
    tab->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_TRUE(tab->state().selected);
}

}  // namespace
}  // namespace tovrin
