// Views of list boxes, combo boxes and the drive, directory and file lists.
//
// A list view mirrors its model's entries in a QListWidget or QComboBox. Updates
// come at the queue's rate, so the view compares the entries it shows with the
// model's and touches only the rows from the first difference on: appending a
// status line adds one row. A hidden list (the main window's drive, directory and
// file lists change thousands of times a second during a scan) does nothing
// until it is shown.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/qt/ViewKinds.h"
#include "platform/qt/Widgets.h"

namespace qtui {

namespace {

using platform::Property;

constexpr char kOpenFolder = '\x01';
constexpr char kClosedFolder = '\x02';

void setUpList(QListWidget& list) {
  list.setItemDelegate(new CompactRowDelegate(&list));
  list.setUniformItemSizes(true);
  list.setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list.setTextElideMode(Qt::ElideNone);
  list.setSelectionMode(QAbstractItemView::SingleSelection);
}

int selectedRow(const QListWidget& list) {
  const QList<QListWidgetItem*> selected = list.selectedItems();
  return selected.isEmpty() ? -1 : list.row(selected.front());
}

// Selects the model's current entry; -1 selects nothing.
void showListIndex(QListWidget& list, int32_t index) {
  if (index >= 0 && index < list.count()) {
    list.setCurrentRow(index);
  } else {
    list.clearSelection();
    list.setCurrentRow(-1);
  }
}

// `Rows`: strings by index (a vector of them, or a NameList).
template <class Rows>
size_t commonPrefix(const std::vector<std::string>& a, const Rows& b) {
  const size_t n = std::min(a.size(), b.size());
  size_t k = 0;
  while (k < n && std::string_view(a[k]) == std::string_view(b[k])) ++k;
  return k;
}

template <class Rows>
QStringList toQStrings(const Rows& rows, size_t from) {
  QStringList texts;
  texts.reserve(static_cast<qsizetype>(rows.size() - from));
  for (size_t i = from; i < rows.size(); ++i) {
    const std::string_view row = rows[i];
    texts.append(QString::fromUtf8(row.data(), static_cast<qsizetype>(row.size())));
  }
  return texts;
}

// Makes `list` show `rows`, given that it shows `shown` now; rewrites only the rows
// from the first difference on. Returns whether any row was removed.
template <class Rows>
bool syncRows(QListWidget& list, std::vector<std::string>& shown, const Rows& rows) {
  const size_t keep = commonPrefix(shown, rows);
  if (keep == shown.size() && keep == rows.size()) return false;
  const bool removed = keep < shown.size();
  if (removed) {
    list.model()->removeRows(static_cast<int>(keep), static_cast<int>(shown.size() - keep));
  }
  if (keep < rows.size()) list.addItems(toQStrings(rows, keep));
  shown.assign(rows.begin(), rows.end());
  return removed;
}

// --- ListBox ---------------------------------------------------------------------

class ListBoxView final : public View {
 public:
  ListBoxView(platform::ListBox& list, QWidget* parent, UpdateQueue& queue)
      : View(list, queue), m_list(list), m_widget(new QListWidget(parent)) {
    setUpList(*m_widget);
    QScrollBar* bar = m_widget->verticalScrollBar();
    // The range follows the rows only after Qt's own layout pass; scroll again
    // then, unless the user has scrolled since.
    keep(QObject::connect(bar, &QScrollBar::rangeChanged, [this] { scrollToWantedTop(); }));
    keep(QObject::connect(bar, &QScrollBar::actionTriggered, [this] {
      if (!applying()) m_wantedTop = -1;
    }));
    // Only a selection by the user sets ListIndex; the focus alone marks a row
    // without selecting it, as in the classic list box.
    keep(QObject::connect(m_widget, &QListWidget::itemSelectionChanged, [this] {
      const int row = selectedRow(*m_widget);
      if (row >= 0 && row != m_list.ListIndex())
        dispatch([this, row] { m_list.setListIndex(row); });
    }));
    setWidget(m_widget);
    // The model scrolls by whole rows and needs to know how many fit.
    const int rowHeight = CompactRowDelegate::rowHeight(m_widget->font());
    m_list.setVisibleRows(std::max(1, m_widget->contentsRect().height() / rowHeight));
  }

 protected:
  void apply(Changes what) override {
    if (!m_list.Visible()) {
      m_stale = true;
      return;
    }
    if (m_stale || (what & bit(Property::Items))) {
      if (syncRows(*m_widget, m_shown, m_list.items())) m_wantedTop = -1;
    }
    if (m_stale || (what & (bit(Property::Items) | bit(Property::ListIndex)))) {
      showListIndex(*m_widget, m_list.ListIndex());
    }
    if (m_stale || (what & bit(Property::TopIndex))) {
      m_wantedTop = m_list.TopIndex();
      m_widget->doItemsLayout();
      scrollToWantedTop();
    }
    m_stale = false;
  }

 private:
  void scrollToWantedTop() {
    if (m_wantedTop >= 0) m_widget->verticalScrollBar()->setValue(m_wantedTop);
  }

  platform::ListBox& m_list;
  QListWidget* m_widget;  // owned by the window
  std::vector<std::string> m_shown;
  int m_wantedTop = -1;
  bool m_stale = false;
};

// --- ComboBox --------------------------------------------------------------------

class ComboBoxView final : public View {
 public:
  ComboBoxView(platform::ComboBox& combo, QWidget* parent, UpdateQueue& queue)
      : View(combo, queue), m_combo(combo), m_widget(new QComboBox(parent)) {
    m_widget->setEditable(true);
    m_widget->setInsertPolicy(QComboBox::NoInsert);
    keep(QObject::connect(m_widget, &QComboBox::activated, [this](int index) {
      dispatch([this, index] {
        m_combo.setListIndex(index);
        m_combo.setText(m_combo.List(index));
      });
    }));
    keep(
        QObject::connect(m_widget->lineEdit(), &QLineEdit::textEdited, [this](const QString& text) {
          dispatch([this, text] { m_combo.setText(text.toStdString()); });
        }));
    setWidget(m_widget);
  }

 protected:
  void apply(Changes what) override {
    if (what & bit(Property::Items)) {
      const size_t keep = commonPrefix(m_shown, m_combo.items());
      while (static_cast<size_t>(m_widget->count()) > keep)
        m_widget->removeItem(m_widget->count() - 1);
      m_widget->addItems(toQStrings(m_combo.items(), keep));
      m_shown = m_combo.items();
    }
    if (what & (bit(Property::Items) | bit(Property::ListIndex))) {
      m_widget->setCurrentIndex(m_combo.ListIndex());
    }
    m_widget->setEditText(QString::fromStdString(m_combo.Text()));
  }

 private:
  platform::ComboBox& m_combo;
  QComboBox* m_widget;  // owned by the window
  std::vector<std::string> m_shown;
};

// --- DriveListBox ----------------------------------------------------------------

class DriveListView final : public View {
 public:
  DriveListView(platform::DriveListBox& drives, QWidget* parent, UpdateQueue& queue)
      : View(drives, queue), m_drives(drives), m_widget(new QComboBox(parent)) {
    keep(QObject::connect(m_widget, &QComboBox::activated, [this](int index) {
      dispatch([this, index] { m_drives.setDrive(m_drives.List(index)); });
      // Show the model's drive again if it did not follow.
      modelChanged(m_drives, Property::Path);
    }));
    setWidget(m_widget);
  }

 protected:
  void apply(Changes /*what*/) override {
    if (!m_drives.Visible()) {
      m_stale = true;
      return;
    }
    std::vector<std::string> rows;
    for (int32_t i = 0; i < m_drives.ListCount(); ++i) rows.push_back(m_drives.List(i));
    if (rows != m_shown) {
      m_widget->clear();
      m_widget->addItems(toQStrings(rows, 0));
      m_shown = std::move(rows);
    }
    m_widget->setCurrentIndex(m_drives.ListIndex());
    m_stale = false;
  }

 private:
  platform::DriveListBox& m_drives;
  QComboBox* m_widget;  // owned by the window
  std::vector<std::string> m_shown;
  bool m_stale = false;
};

// --- DirListBox ------------------------------------------------------------------

// Splits "C:\home\anna" into "C:\", "home", "anna".
std::vector<std::string> pathParts(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (parts.empty()) {
      parts.push_back(path.substr(0, std::min(end + 1, path.size())));
    } else if (end > start) {
      parts.push_back(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return parts;
}

std::string lastPart(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class DirListView final : public View {
 public:
  DirListView(platform::DirListBox& dirs, QWidget* parent, UpdateQueue& queue)
      : View(dirs, queue), m_dirs(dirs), m_widget(new QListWidget(parent)) {
    setUpList(*m_widget);
    // Folder icons as small as a row.
    const int iconSide = CompactRowDelegate::rowHeight(m_widget->font()) - 1;
    m_widget->setIconSize(QSize(iconSide, iconSide));
    // A double click opens the directory, as in the classic directory list.
    keep(QObject::connect(m_widget, &QListWidget::itemActivated, [this](QListWidgetItem* item) {
      const std::string path = pathOfRow(m_widget->row(item));
      if (path.empty()) return;
      dispatch([this, path] { m_dirs.setPath(path); });
    }));
    setWidget(m_widget);
  }

 protected:
  void apply(Changes /*what*/) override {
    if (!m_dirs.Visible()) {
      m_stale = true;
      return;
    }
    // The open folders from the root down to Path, then Path's subdirectories,
    // one level further in. Each row starts with its kind, so that the same name
    // as an open and as a closed folder counts as a different row.
    const std::vector<std::string> parts = pathParts(m_dirs.Path());
    std::vector<std::string> rows;
    for (size_t level = 0; level < parts.size(); ++level) {
      rows.push_back(kOpenFolder + std::string(2 * level, ' ') + parts[level]);
    }
    const std::string indent(2 * parts.size(), ' ');
    for (int32_t i = 0; i < m_dirs.ListCount(); ++i) {
      rows.push_back(kClosedFolder + indent + lastPart(m_dirs.List(i)));
    }
    const size_t keep = commonPrefix(m_shown, rows);
    if (keep != m_shown.size() || keep != rows.size()) {
      if (keep < m_shown.size()) {
        m_widget->model()->removeRows(static_cast<int>(keep),
                                      static_cast<int>(m_shown.size() - keep));
      }
      const QIcon open = m_widget->style()->standardIcon(QStyle::SP_DirOpenIcon);
      const QIcon closed = m_widget->style()->standardIcon(QStyle::SP_DirClosedIcon);
      for (size_t i = keep; i < rows.size(); ++i) {
        m_widget->addItem(QString::fromStdString(rows[i].substr(1)));
        m_widget->item(static_cast<int>(i))->setIcon(rows[i][0] == kOpenFolder ? open : closed);
      }
      m_shown = std::move(rows);
      m_ancestors = parts.size();
    }
    // ListIndex -1 is the shown directory itself: the last open folder.
    m_widget->setCurrentRow(static_cast<int>(m_ancestors) - 1);
    m_stale = false;
  }

 private:
  std::string pathOfRow(int row) const {
    if (row < 0) return {};
    const auto r = static_cast<size_t>(row);
    if (r < m_ancestors) {
      const std::vector<std::string> parts = pathParts(m_dirs.Path());
      std::string path = parts[0];
      for (size_t i = 1; i <= r && i < parts.size(); ++i) {
        if (path.back() != '\\') path += '\\';
        path += parts[i];
      }
      return path;
    }
    return m_dirs.List(static_cast<int32_t>(r - m_ancestors));
  }

  platform::DirListBox& m_dirs;
  QListWidget* m_widget;  // owned by the window
  std::vector<std::string> m_shown;
  size_t m_ancestors = 0;
  bool m_stale = false;
};

// --- FileListBox -----------------------------------------------------------------

class FileListView final : public View {
 public:
  FileListView(platform::FileListBox& files, QWidget* parent, UpdateQueue& queue)
      : View(files, queue), m_files(files), m_widget(new QListWidget(parent)) {
    setUpList(*m_widget);
    keep(QObject::connect(m_widget, &QListWidget::itemSelectionChanged, [this] {
      const int row = selectedRow(*m_widget);
      if (row >= 0 && row != m_files.ListIndex())
        dispatch([this, row] { m_files.setListIndex(row); });
    }));
    setWidget(m_widget);
  }

 protected:
  void apply(Changes /*what*/) override {
    if (!m_files.Visible()) {
      m_stale = true;
      return;
    }
    syncRows(*m_widget, m_shown, m_files.names());
    showListIndex(*m_widget, m_files.ListIndex());
    m_stale = false;
  }

 private:
  platform::FileListBox& m_files;
  QListWidget* m_widget;  // owned by the window
  std::vector<std::string> m_shown;
  bool m_stale = false;
};

}  // namespace

std::unique_ptr<View> makeListBoxView(platform::ListBox& list, QWidget* parent,
                                      UpdateQueue& queue) {
  return std::make_unique<ListBoxView>(list, parent, queue);
}

std::unique_ptr<View> makeComboBoxView(platform::ComboBox& combo, QWidget* parent,
                                       UpdateQueue& queue) {
  return std::make_unique<ComboBoxView>(combo, parent, queue);
}

std::unique_ptr<View> makeDriveListView(platform::DriveListBox& drives, QWidget* parent,
                                        UpdateQueue& queue) {
  return std::make_unique<DriveListView>(drives, parent, queue);
}

std::unique_ptr<View> makeDirListView(platform::DirListBox& dirs, QWidget* parent,
                                      UpdateQueue& queue) {
  return std::make_unique<DirListView>(dirs, parent, queue);
}

std::unique_ptr<View> makeFileListView(platform::FileListBox& files, QWidget* parent,
                                       UpdateQueue& queue) {
  return std::make_unique<FileListView>(files, parent, queue);
}

}  // namespace qtui
