#include "LookController.h"

#include <QCheckBox>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

using orvane::Look;
using orvane::LookController;
using orvane::Swatches;

namespace {

// A controller whose reported looks are collected.
struct Popover {
    std::vector<Look> reported;
    LookController controller;
    Popover(const Look& look, int rim)
        : controller(look, rim, [this](const Look& l) { reported.push_back(l); })
    {
        controller.setAttribute(Qt::WA_DeleteOnClose, false);  // lives on the stack here
    }
    Look last() const { return reported.empty() ? Look{} : reported.back(); }
};

QPoint centreOf(int swatch)
{
    return Swatches::swatchRect(swatch).center().toPoint();
}

}  // namespace

TEST(LookController, ControlsStartFromTheLook)
{
    Look explicitLook;
    explicitLook.color = 2;
    explicitLook.tint = 0.45;
    explicitLook.seeThrough = 0.2;
    explicitLook.promptOn = false;
    Popover p(explicitLook, 4);
    EXPECT_EQ(p.controller.swatches()->selected(), 2);
    EXPECT_EQ(p.controller.promptSwatches()->selected(), 4);  // the rim when following
    EXPECT_FALSE(p.controller.promptBox()->isChecked());
    EXPECT_FALSE(p.controller.follow()->isChecked());
    EXPECT_EQ(p.controller.tint()->value(), 45);
    EXPECT_EQ(p.controller.see()->value(), 20);
    EXPECT_TRUE(p.reported.empty());  // synchronising is not an edit

    Popover following(Look{}, 3);
    EXPECT_EQ(following.controller.swatches()->selected(), 3);
    EXPECT_EQ(following.controller.promptSwatches()->selected(), 3);
    EXPECT_TRUE(following.controller.follow()->isChecked());
    EXPECT_TRUE(following.controller.promptBox()->isChecked());
    EXPECT_EQ(following.controller.tint()->value(), 30);
    EXPECT_EQ(following.controller.see()->value(), 5);
}

TEST(LookController, PickingSwatchesSetsColoursAndStopsFollowing)
{
    Popover p(Look{}, 0);
    QTest::mouseClick(p.controller.swatches(), Qt::LeftButton, {}, centreOf(5));
    ASSERT_EQ(p.reported.size(), 1u);
    EXPECT_EQ(p.last().color, 5);
    EXPECT_EQ(p.last().prompt, std::nullopt);
    EXPECT_EQ(p.controller.swatches()->selected(), 5);
    EXPECT_FALSE(p.controller.follow()->isChecked());

    QTest::mouseClick(p.controller.promptSwatches(), Qt::LeftButton, {}, centreOf(7));
    EXPECT_EQ(p.last().prompt, 7);
    EXPECT_EQ(p.last().color, 5);

    // Clicks beside the dots pick nothing; the dots' hit squares touch, the first one wins.
    QTest::mouseClick(p.controller.swatches(), Qt::LeftButton, {}, QPoint(244, 17));
    QTest::mouseClick(p.controller.swatches(), Qt::LeftButton, {}, QPoint(100, 33));
    EXPECT_EQ(p.reported.size(), 2u);
    EXPECT_EQ(Swatches::swatchAt({32, 17}), 0);
    EXPECT_EQ(Swatches::swatchAt({32.5, 17}), 1);
    EXPECT_EQ(Swatches::swatchAt({17, 1.5}), std::nullopt);
}

TEST(LookController, FollowBoxSwitchesBetweenRimAndSwatches)
{
    Look look;
    look.color = 1;
    look.prompt = 6;
    Popover p(look, 2);
    p.controller.follow()->click();  // on
    EXPECT_EQ(p.last().color, std::nullopt);
    EXPECT_EQ(p.last().prompt, std::nullopt);
    EXPECT_EQ(p.controller.swatches()->selected(), 2);
    EXPECT_EQ(p.controller.promptSwatches()->selected(), 2);

    QTest::mouseClick(p.controller.promptSwatches(), Qt::LeftButton, {}, centreOf(4));
    EXPECT_FALSE(p.controller.follow()->isChecked());
    p.controller.follow()->click();  // on again
    p.controller.follow()->click();  // off: both rows' selections become explicit
    EXPECT_EQ(p.last().color, 2);
    EXPECT_EQ(p.last().prompt, 2);
}

TEST(LookController, SlidersCheckboxAndReset)
{
    Popover p(Look{}, 0);
    p.controller.see()->setValue(p.controller.see()->maximum());
    EXPECT_DOUBLE_EQ(p.last().seeThrough, 0.7);  // the most the glass allows
    p.controller.tint()->setValue(100);
    EXPECT_DOUBLE_EQ(p.last().tint, 1.0);
    EXPECT_DOUBLE_EQ(p.last().seeThrough, 0.7);

    p.controller.promptBox()->click();
    EXPECT_FALSE(p.last().promptOn);

    QTest::mouseClick(p.controller.swatches(), Qt::LeftButton, {}, centreOf(3));
    const size_t before = p.reported.size();
    p.controller.resetButton()->click();
    EXPECT_EQ(p.reported.size(), before + 1);
    EXPECT_EQ(p.last(), Look{});
    EXPECT_EQ(p.controller.look(), Look{});
    EXPECT_EQ(p.controller.tint()->value(), 30);
    EXPECT_EQ(p.controller.see()->value(), 5);
    EXPECT_TRUE(p.controller.promptBox()->isChecked());
    EXPECT_TRUE(p.controller.follow()->isChecked());
    EXPECT_EQ(p.controller.swatches()->selected(), 0);
}

TEST(LookController, OpensAsAPopupBelowTheButtonAndGoesAwayWhenClosed)
{
    QWidget window;
    window.setGeometry(100, 100, 600, 400);
    window.show();
    const QRectF palette(520, 20, 40, 26);
    QPointer<LookController> popover = new LookController(Look{}, 0, [](const Look&) {}, &window);
    popover->popUp(&window, palette);
    EXPECT_TRUE(popover->isVisible());
    EXPECT_TRUE(popover->isWindow());
    EXPECT_EQ(popover->windowType(), Qt::Popup);
    const QPoint buttonBottom = window.mapToGlobal(QPoint(540, 46));
    EXPECT_GE(popover->geometry().top(), buttonBottom.y());
    EXPECT_GE(popover->width(), 246 + 36);  // the swatch rows and the insets

    popover->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(popover.isNull());
}
