#include "core/storage/lmdb_record_store.h"

#include <gtest/gtest.h>
#include <lmdb.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/storage/clock_segment.h"
#include "platform/os/folders.h"
#include "tests/support/test_support.h"

namespace ORV {
namespace {

struct Action {
  std::uint32_t time = 0;
  std::string text;
  bool operator==(const Action&) const = default;
};

struct Marker {
  std::string text;
  std::uint32_t time = 0;
  std::uint32_t camera = 0;
  bool operator==(const Marker&) const = default;
};

using ActionStore = LmdbRecordStore<Action, ActionRecordCodec<Action>>;
using MarkerStore = LmdbRecordStore<Marker, MarkerRecordCodec<Marker>>;

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

template <class Store>
std::vector<std::uint32_t> Reopened(Store& store) {
  store.Close();
  EXPECT_TRUE(store.Open());
  return store.Keys();
}

class RecordStoreTest : public testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return dir_ / name; }
  std::vector<std::string> Files() const { return FilesIn(dir_.path()); }

  ORV::Test::TempDir dir_;
};

TEST_F(RecordStoreTest, ClosedStoreRefusesWritesAndReadsDefaults) {
  ActionStore store;
  store.SetPath(PathOf("ActionData"));
  EXPECT_EQ(store.Put(0, {5, "a"}, false), kStoreClosed);
  EXPECT_EQ(store.Delete(5), kStoreClosed);
  EXPECT_EQ(store.Count(), 0u);
  EXPECT_TRUE(Files().empty());

  store.SetDefaultRecord({7, "none"});
  EXPECT_EQ(store.Get(0), (Action{7, "none"}));

  ASSERT_TRUE(store.Open());
  EXPECT_TRUE(store.Open());  // already open
  ASSERT_EQ(store.Put(0, {5, "a"}, false), 0);
  EXPECT_EQ(store.Get(0), (Action{5, "a"}));
  EXPECT_EQ(store.Get(1), (Action{7, "none"}));
  EXPECT_EQ(store.Get(999), (Action{7, "none"}));
}

TEST_F(RecordStoreTest, OpenFailsWithoutAUsableFile) {
  ActionStore noPath;
  EXPECT_FALSE(noPath.Open());

  ActionStore missingFolder;
  missingFolder.SetPath(PathOf("no/such/folder/ActionData"));
  EXPECT_FALSE(missingFolder.Open());
  EXPECT_FALSE(missingFolder.IsOpen());
  EXPECT_EQ(missingFolder.Put(0, {1, "a"}, false), kStoreClosed);

  ASSERT_TRUE(OS::AtomicWriteFile(PathOf("NotAStore"), std::string(8192, 'x')));
  ActionStore garbage;
  garbage.SetPath(PathOf("NotAStore"));
  EXPECT_FALSE(garbage.Open());
  EXPECT_FALSE(garbage.IsOpen());
}

TEST_F(RecordStoreTest, ReopenOrdersRecordsByKey) {
  ActionStore store;
  store.SetPath(PathOf("ActionData"));
  ASSERT_TRUE(store.Open());
  ASSERT_EQ(store.Put(0, {5, "later"}, false), 0);
  ASSERT_EQ(store.Put(1, {3, "earlier"}, false), 0);
  ASSERT_EQ(store.Put(0, {9, "first by position"}, false), 0);
  EXPECT_EQ(store.Keys(), (std::vector<std::uint32_t>{9, 5, 3}));
  EXPECT_EQ(store.Get(0).text, "first by position");

  EXPECT_EQ(Reopened(store), (std::vector<std::uint32_t>{3, 5, 9}));
  EXPECT_EQ(store.Get(0), (Action{3, "earlier"}));
  EXPECT_EQ(store.Get(1), (Action{5, "later"}));
  EXPECT_EQ(store.Get(2), (Action{9, "first by position"}));

  // A second store object on the same file after the first one closed.
  store.Close();
  ActionStore again;
  again.SetPath(PathOf("ActionData"));
  ASSERT_TRUE(again.Open());
  EXPECT_EQ(again.Count(), 3u);
}

TEST_F(RecordStoreTest, RecordsWithOneTimeAllSurvive) {
  MarkerStore store;
  store.SetPath(PathOf("MarkerDatabase"));
  ASSERT_TRUE(store.Open());
  // One marker for each of three cameras, then one at the next millisecond.
  for (std::uint32_t camera = 0; camera < 3; ++camera)
    ASSERT_EQ(store.Put(store.Count(), {"drug", 1000, camera}, false), 0);
  ASSERT_EQ(store.Put(store.Count(), {"wash", 1001, 0}, false), 0);
  ASSERT_EQ(store.Put(store.Count(), {"end", 0xFFFFFFFF, 0}, false), 0);
  ASSERT_EQ(store.Put(store.Count(), {"end", 0xFFFFFFFF, 1}, false), 0);
  const std::vector<std::uint32_t> keys{1000, 1001, 1002, 1003, 0xFFFFFFFF, 0};
  EXPECT_EQ(store.Keys(), keys);

  const std::vector<Marker> expected{{"drug", 1000, 0}, {"drug", 1000, 1},      {"drug", 1000, 2},
                                     {"wash", 1001, 0}, {"end", 0xFFFFFFFF, 0}, {"end", 0xFFFFFFFF, 1}};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(store.Get(i), expected[i]) << i;

  // After reopening the keys come in ascending order and every marker is there.
  EXPECT_EQ(Reopened(store), (std::vector<std::uint32_t>{0, 1000, 1001, 1002, 1003, 0xFFFFFFFF}));
  EXPECT_EQ(store.Get(0), (Marker{"end", 0xFFFFFFFF, 1}));
  EXPECT_EQ(store.Get(1), (Marker{"drug", 1000, 0}));
  EXPECT_EQ(store.Get(3), (Marker{"drug", 1000, 2}));
  EXPECT_EQ(store.Get(4), (Marker{"wash", 1001, 0}));
}

TEST_F(RecordStoreTest, AppendStoresAListLikeOnePutEach) {
  // The same markers appended in one transaction get the keys single puts
  // would give them, including the next free key for a repeated time.
  const std::vector<Marker> markers{{"drug", 1000, 0}, {"drug", 1000, 1}, {"wash", 1001, 0}, {"x", 5, 2}};
  MarkerStore batch;
  batch.SetPath(PathOf("Batch"));
  ASSERT_TRUE(batch.Open());
  ASSERT_EQ(batch.Put(batch.Count(), {"first", 1001, 3}, false), 0);
  ASSERT_EQ(batch.Append(markers), 0);
  EXPECT_EQ(batch.Keys(), (std::vector<std::uint32_t>{1001, 1000, 1002, 1003, 5}));
  for (std::size_t i = 0; i < markers.size(); ++i) EXPECT_EQ(batch.Get(i + 1), markers[i]) << i;
  EXPECT_EQ(Reopened(batch), (std::vector<std::uint32_t>{5, 1000, 1001, 1002, 1003}));
  EXPECT_EQ(batch.Append(std::vector<Marker>{}), 0);

  MarkerStore closed;
  EXPECT_EQ(closed.Append(markers), kStoreClosed);
  EXPECT_EQ(closed.Count(), 0u);
}

TEST_F(RecordStoreTest, ReplaceAndDeleteLeaveNothingBehind) {
  MarkerStore store;
  store.SetPath(PathOf("MarkerDatabase"));
  ASSERT_TRUE(store.Open());
  ASSERT_EQ(store.Put(0, {"a", 10, 0}, false), 0);
  ASSERT_EQ(store.Put(1, {"b", 20, 0}, false), 0);
  ASSERT_EQ(store.Put(2, {"c", 30, 0}, false), 0);

  // Replacing re-keys the record; the old value must not come back on reopen.
  ASSERT_EQ(store.Put(1, {"b moved", 40, 1}, true), 0);
  EXPECT_EQ(store.Keys(), (std::vector<std::uint32_t>{10, 40, 30}));
  EXPECT_EQ(store.Get(1), (Marker{"b moved", 40, 1}));

  ASSERT_EQ(store.Delete(10), 0);
  EXPECT_EQ(store.Keys(), (std::vector<std::uint32_t>{40, 30}));
  EXPECT_EQ(store.Delete(10), MDB_NOTFOUND);
  EXPECT_EQ(store.Keys(), (std::vector<std::uint32_t>{40, 30}));

  EXPECT_EQ(Reopened(store), (std::vector<std::uint32_t>{30, 40}));
  EXPECT_EQ(store.Get(0), (Marker{"c", 30, 0}));
  EXPECT_EQ(store.Get(1), (Marker{"b moved", 40, 1}));

  // A freed key is taken again by the next record of that time.
  ASSERT_EQ(store.Delete(30), 0);
  ASSERT_EQ(store.Put(0, {"c again", 30, 2}, false), 0);
  EXPECT_EQ(store.Keys(), (std::vector<std::uint32_t>{30, 40}));
}

TEST_F(RecordStoreTest, PositionsOutsideTheStoreAreRefused) {
  ActionStore actions;
  actions.SetPath(PathOf("ActionData"));
  ASSERT_TRUE(actions.Open());
  ASSERT_EQ(actions.Put(0, {1, "a"}, false), 0);
  EXPECT_EQ(actions.Put(2, {2, "b"}, false), kStoreBadPosition);
  EXPECT_EQ(actions.Put(1, {2, "b"}, true), kStoreBadPosition);
  EXPECT_EQ(actions.Keys(), (std::vector<std::uint32_t>{1}));
  EXPECT_EQ(Reopened(actions), (std::vector<std::uint32_t>{1}));

  // Segments are keyed by position: only appending and replacing keep every
  // record under its own key.
  ClockSegmentStore segments;
  segments.SetPath(PathOf("RelativeTime"));
  ASSERT_TRUE(segments.Open());
  for (std::uint32_t i = 0; i < 3; ++i) ASSERT_EQ(segments.Put(i, {100 + i, 0, i, 0, 0}, false), 0);
  EXPECT_EQ(segments.Put(1, {7, 0, 0, 0, 0}, false), kStoreBadPosition);
  ASSERT_EQ(segments.Put(2, {102, 150, 2, 48, 0}, true), 0);
  EXPECT_EQ(Reopened(segments), (std::vector<std::uint32_t>{0, 1, 2}));
  EXPECT_EQ(segments.Get(0), (ClockSegment{100, 0, 0, 0, 0}));
  EXPECT_EQ(segments.Get(2), (ClockSegment{102, 150, 2, 48, 0}));
}

TEST_F(RecordStoreTest, UndecodableValuesReadAsTheDefaultRecord) {
  // A 6-byte action value under key 0, read as a 20-byte segment.
  {
    ActionStore actions;
    actions.SetPath(PathOf("Mixed"));
    ASSERT_TRUE(actions.Open());
    ASSERT_EQ(actions.Put(0, {0, ""}, false), 0);
  }
  ClockSegmentStore segments;
  segments.SetPath(PathOf("Mixed"));
  segments.SetDefaultRecord({1, 2, 3, 4, 5});
  ASSERT_TRUE(segments.Open());
  ASSERT_EQ(segments.Count(), 1u);
  EXPECT_EQ(segments.Get(0), (ClockSegment{1, 2, 3, 4, 5}));
  segments.Close();

  // A marker whose code is missing.
  MarkerStore markers;
  markers.SetPath(PathOf("Mixed"));
  markers.SetDefaultRecord({"default", 0, 9});
  ASSERT_TRUE(markers.Open());
  EXPECT_EQ(markers.Get(0), (Marker{"default", 0, 9}));
}

TEST_F(RecordStoreTest, ResetAndDeletionMarkRemoveTheFiles) {
  const std::vector<std::string> three{"ActionData", "ActionData-lock", "ActionData-unique"};
  ActionStore store;
  store.SetPath(PathOf("ActionData"));
  ASSERT_TRUE(store.Open());
  ASSERT_EQ(store.Put(0, {1, "a"}, false), 0);
  ASSERT_GT(store.WriteUnique({0, "x", 0}), 0u);
  store.Close();
  EXPECT_EQ(Files(), three);

  // Reset on a closed store deletes the files and leaves it closed.
  store.Reset();
  EXPECT_TRUE(Files().empty());
  EXPECT_FALSE(store.IsOpen());

  // Reset on an open store leaves it open and empty.
  ASSERT_TRUE(store.Open());
  ASSERT_EQ(store.Put(0, {1, "a"}, false), 0);
  store.Reset();
  EXPECT_TRUE(store.IsOpen());
  EXPECT_EQ(store.Count(), 0u);
  EXPECT_EQ(Reopened(store).size(), 0u);

  // The deletion mark applies to the next Close only.
  ASSERT_EQ(store.Put(0, {1, "a"}, false), 0);
  store.MarkForDeletion();
  store.Close();
  EXPECT_TRUE(Files().empty());
  EXPECT_FALSE(store.IsMarkedForDeletion());
  ASSERT_TRUE(store.Open());
  EXPECT_EQ(store.Count(), 0u);
  ASSERT_EQ(store.Put(0, {2, "b"}, false), 0);
  EXPECT_EQ(Reopened(store), (std::vector<std::uint32_t>{2}));

  // Destroying a marked store deletes its files as well.
  {
    ActionStore marked;
    marked.SetPath(PathOf("Other"));
    ASSERT_TRUE(marked.Open());
    marked.MarkForDeletion();
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"ActionData", "ActionData-lock"}));
}

TEST_F(RecordStoreTest, UniqueSideFile) {
  MarkerStore store;
  store.SetPath(PathOf("MarkerDatabase"));

  // Missing: created empty, nothing read.
  UniqueRecord record{7, "kept", 8};
  EXPECT_EQ(store.ReadUnique(record), 0u);
  EXPECT_EQ(record, (UniqueRecord{7, "kept", 8}));
  EXPECT_TRUE(OS::PathExists(PathOf("MarkerDatabase-unique")));

  const UniqueRecord written{0, "1234", 0};
  EXPECT_EQ(store.WriteUnique(written), 14u);
  std::string bytes;
  ASSERT_TRUE(OS::ReadFile(PathOf("MarkerDatabase-unique"), bytes));
  EXPECT_EQ(bytes, std::string("\0\0\0\0\x04\0"
                               "1234"
                               "\0\0\0\0",
                               14));
  UniqueRecord read;
  EXPECT_EQ(store.ReadUnique(read), 14u);
  EXPECT_EQ(read, written);

  // A damaged file reads as nothing.
  ASSERT_TRUE(OS::AtomicWriteFile(PathOf("MarkerDatabase-unique"), std::string("\0\0\0\0\x09\0"
                                                                               "12",
                                                                               8)));
  EXPECT_EQ(store.ReadUnique(read), 0u);
  EXPECT_EQ(read, written);

  ActionStore noPath;
  EXPECT_EQ(noPath.WriteUnique(written), 0u);
  EXPECT_EQ(noPath.ReadUnique(read), 0u);
}

}  // namespace
}  // namespace ORV
