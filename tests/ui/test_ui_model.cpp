// The results model over the result tree, and the pictures it shows.
#include "model/UTFile.h"
#include "model/UTFolder.h"
#include "model/UTOccurence.h"
#include "model/UTResultTree.h"
#include "ui/UResultTreeModel.h"
#include "ui/UTreeImages.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using model::TResultTree;
using model::TTreeNode;

namespace {

// root - two sub-folders (one with a file with two occurrences), one file of its own.
void Fill(TResultTree& tree) {
    TTreeNode* root = tree.AddChild(nullptr, "/start - 3 occurences in 2 files",
                                    std::make_unique<model::TFolder>());
    tree.SetImages(root, 2, 3);
    TTreeNode* found =
        tree.AddChild(root, "found - 2 occurences in 1 file", std::make_unique<model::TFolder>());
    tree.SetImages(found, 2, 3);
    TTreeNode* empty = tree.AddChild(root, "empty", std::make_unique<model::TFolder>());
    tree.SetImages(empty, 0, 1);
    TTreeNode* file =
        tree.AddChild(found, "a.txt - 2 occurences", std::make_unique<model::TFile>());
    tree.SetImages(file, 4, 5);
    for (int i = 0; i < 2; ++i) {
        TTreeNode* occ = tree.AddOccurence(
            file, std::make_unique<model::TOccurence>(
                      std::make_shared<const std::string>("say \"hi\""), i, 5, 4));
        tree.SetImages(occ, 6, 7);
    }
    TTreeNode* own = tree.AddChild(root, std::string("b\xff.txt - 1 occurence"),
                                   std::make_unique<model::TFile>());
    tree.SetImages(own, 4, 5);
}

} // namespace

class TestUiModel : public QObject {
    Q_OBJECT
private slots:
    void passesTheModelTesterThroughFreezeAndThaw() {
        TResultTree tree;
        ui::TResultTreeModel m(tree);
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        m.Freeze();
        Fill(tree);
        QCOMPARE(m.rowCount(), 0);
        m.Thaw();
        QCOMPARE(m.rowCount(), 1);
        m.Freeze();
        tree.Clear();
        m.Thaw();
        QCOMPARE(m.rowCount(), 0);
        m.Freeze();
        Fill(tree);
        m.Thaw();
    }

    void mirrorsShapeCaptionsAndNodesWithoutCopying() {
        TResultTree tree;
        Fill(tree);
        ui::TResultTreeModel m(tree);
        m.Reset();
        const QModelIndex root = m.index(0, 0);
        QCOMPARE(m.NodeOf(root), tree.First());
        QCOMPARE(m.rowCount(root), 3);
        QCOMPARE(m.data(root).toString(), QStringLiteral("/start - 3 occurences in 2 files"));
        const QModelIndex file = m.index(0, 0, m.index(0, 0, root));
        QCOMPARE(m.rowCount(file), 2);
        const QModelIndex occ = m.index(1, 0, file);
        QCOMPARE(m.data(occ).toString(), QStringLiteral("Line: 2, Pos: 5, \"say \"hi\"\""));
        QCOMPARE(m.parent(occ), file);
        QCOMPARE(m.IndexOf(m.NodeOf(occ)), occ);
        QVERIFY(!m.parent(root).isValid());
        QVERIFY(!m.index(3, 0, root).isValid());
        QVERIFY(!m.index(0, 1, root).isValid());
        QVERIFY(!(m.flags(root) & Qt::ItemIsEditable));
        // Invalid UTF-8 shows a replacement character; the node keeps its bytes.
        const QModelIndex own = m.index(2, 0, root);
        QCOMPARE(m.data(own).toString(), QString::fromUtf8("b\xef\xbf\xbd.txt - 1 occurence"));
        QCOMPARE(m.NodeOf(own)->Caption(), std::string("b\xff.txt - 1 occurence"));
    }

    void frozenModelHandsOutNoIndexes() {
        TResultTree tree;
        Fill(tree);
        ui::TResultTreeModel m(tree);
        QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
        m.Freeze();
        m.Freeze();
        QCOMPARE(resets.count(), 1);
        QVERIFY(m.Frozen());
        QVERIFY(!m.index(0, 0).isValid());
        QVERIFY(!m.IndexOf(tree.First()).isValid());
        m.Thaw();
        m.Thaw();
        QCOMPARE(resets.count(), 2);
        QVERIFY(m.index(0, 0).isValid());
    }

    void iconsCarryTheNormalAndTheSelectedPicture() {
        TResultTree tree;
        Fill(tree);
        ui::TResultTreeModel m(tree);
        const QIcon icon = m.data(m.index(0, 0), Qt::DecorationRole).value<QIcon>();
        const QImage normal = icon.pixmap(17, 17, QIcon::Normal).toImage();
        const QImage selected = icon.pixmap(17, 17, QIcon::Selected).toImage();
        QCOMPARE(normal, ui::TreeImage(2).toImage());
        QCOMPARE(selected, ui::TreeImage(3).toImage());
        QVERIFY(!m.data(m.index(0, 0), Qt::ToolTipRole).isValid());
    }

    void theEightPicturesAreDistinctAndSized() {
        for (int i = 0; i < ui::kTreeImageCount; ++i) {
            const QImage a = ui::TreeImage(i).toImage();
            QCOMPARE(a.size(), QSize(17, 17));
            for (int j = 0; j < i; ++j) {
                QVERIFY2(a != ui::TreeImage(j).toImage(),
                         qPrintable(QString("%1 %2").arg(i).arg(j)));
            }
        }
        QVERIFY(ui::TreeImage(8).toImage().pixelColor(8, 8).alpha() == 0);
    }

    void viewSurvivesAClearWhileFrozen() {
        TResultTree tree;
        Fill(tree);
        ui::TResultTreeModel m(tree);
        QTreeView view;
        view.setModel(&m);
        view.expandAll();
        view.setCurrentIndex(m.index(0, 0, m.index(0, 0)));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        m.Freeze();
        tree.Clear();
        Fill(tree);
        QCoreApplication::processEvents();
        m.Thaw();
        view.expandAll();
        view.repaint();
        QCOMPARE(m.rowCount(m.index(0, 0)), 3);
    }
};

QTEST_MAIN(TestUiModel)
#include "test_ui_model.moc"
