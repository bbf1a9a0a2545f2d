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
TTreeNode* AddFolder(TResultTree& tree, TTreeNode* parent, const std::string& name, int occurences,
                     int files) {
    auto folder = std::make_unique<model::TFolder>();
    folder->FolderName = name;
    folder->OccurenceCount = occurences;
    folder->FileCount = files;
    TTreeNode* n = tree.AddFolder(parent, std::move(folder));
    if (files > 0) {
        tree.MarkFound(n);
    }
    return n;
}

TTreeNode* AddFile(TResultTree& tree, TTreeNode* parent, const std::string& name, int occurences) {
    auto file = std::make_unique<model::TFile>();
    file->FullPath = "/start/" + name;
    file->OccurenceCount = occurences;
    return tree.AddFile(parent, std::move(file));
}

void Fill(TResultTree& tree) {
    TTreeNode* root = AddFolder(tree, nullptr, "/start", 3, 2);
    TTreeNode* found = AddFolder(tree, root, "found", 2, 1);
    AddFolder(tree, root, "empty", 0, 0);
    TTreeNode* file = AddFile(tree, found, "a.txt", 2);
    for (int i = 0; i < 2; ++i) {
        tree.AddOccurence(
            file, model::TOccurence(std::make_shared<const std::string>("say \"hi\""), i, 5, 4));
    }
    AddFile(tree, root, std::string("b\xff.txt"), 1);
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

    // A run's tree shown as it grows: rows only added, each announced, the views never
    // seeing a row before it is announced; a view with every node open mirrors it throughout.
    void passesTheModelTesterWhileGrowing() {
        TResultTree tree;
        ui::TResultTreeModel m(tree);
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QTreeView view;
        view.setModel(&m);
        QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
        m.Freeze();
        TTreeNode* root = AddFolder(tree, nullptr, "/start", 0, 0);
        m.ShowGrowth();
        QVERIFY(m.Growing());
        QCOMPARE(m.rowCount(), 1);
        view.expandAll();
        for (int round = 0; round < 5; ++round) {
            TTreeNode* sub = AddFolder(tree, root, "d" + std::to_string(round), 0, 0);
            for (int i = 0; i <= round; ++i) {
                TTreeNode* file = AddFile(tree, sub, "f" + std::to_string(i), 1);
                tree.AddOccurence(
                    file, model::TOccurence(std::make_shared<const std::string>("x"), 0, 1, 1));
            }
            sub->Folder()->OccurenceCount = sub->Folder()->FileCount = round + 1;
            tree.MarkFound(sub);
            QCOMPARE(m.rowCount(m.index(0, 0)), round); // not announced yet
            m.ShowGrowth();
            view.expandAll();
            const QModelIndex shown = m.index(round, 0, m.index(0, 0));
            QCOMPARE(m.rowCount(shown), round + 1);
            QCOMPARE(shown.data().toString(),
                     QString::fromStdString(
                         "d" + std::to_string(round) + " - " + std::to_string(round + 1) +
                         " occurence" + (round > 0 ? "s" : "") + " in " +
                         std::to_string(round + 1) + " file" + (round > 0 ? "s" : "")));
        }
        QVERIFY(inserted.count() >= 5);
        m.Thaw();
        QVERIFY(!m.Growing());
        QCOMPARE(m.rowCount(m.index(0, 0)), 5);
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
