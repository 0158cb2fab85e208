// Registry: the program's per-user hierarchical key/value store, one SQLite file.
//
// Keys form a tree addressed by backslash-separated paths below one root
// ("SOFTWARE\Norwick\Morvel\Examples"). Key paths and value names compare
// case-insensitively (through the Windows-1251 lowering) and keep the spelling
// they were created with. Values are typed (1 text, 4 number, any other code as
// imported) and keep their exact bytes; text is stored as Windows-1251.
//
// The five store operations are OpenKey, SetKeyText, SetKeyNumber, GetKeyText
// and GetKeyNumber; each takes the path of its key (see KeyPaths.h). Reads
// never create anything and see every committed write at once; a write
// creates its key when missing. Writes of one user action go into a
// WriteGroup and commit together or not at all.
//
// Text is refused, never changed: a text or name with a character that
// Windows-1251 lacks is not written, and the failure names the characters.
//
// A Registry that could not open its file (see Open) reads as empty and refuses
// every write. One Registry belongs to one thread; several processes may share
// one store file (WAL, busy timeout).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "core/platform/Status.h"

struct sqlite3;
struct sqlite3_stmt;

namespace morvel {

class SqlStatement;

class Registry {
  public:
    static constexpr std::size_t kMaxValueBytes = 1024;
    static constexpr std::int32_t kTypeText = 1;
    static constexpr std::int32_t kTypeNumber = 4;

    Registry();
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The store file to use: $MORVEL_STORE when set and not empty, else
    // $XDG_DATA_HOME/morvel/store.sqlite, else ~/.local/share/morvel/store.sqlite.
    static std::string DefaultPath();

    // Opens (and when missing creates, folder 0700 and file 0600) the store at
    // path. A file that exists but is not this program's store is left exactly
    // as it was; the result then names the file and the reason, and the
    // Registry stays closed. A store whose file is read-only opens for reading.
    //
    // The store keeps its promises or says so: when the file cannot keep a
    // durable journal (WAL, or a rollback journal on disk) with full syncing,
    // the Registry opens for reading only and the result says why.
    //
    // With Access::kReadOnly nothing is created or written: a missing file is
    // an error, and every write is refused. Either way, a store whose folder
    // cannot be written (so that SQLite cannot make the shared-memory file it
    // needs to share the store) is read as an immutable snapshot of its main
    // file, which is sound only while no other program writes the store.
    enum class Access { kReadWrite, kReadOnly };
    Status Open(const std::string& path, Access access = Access::kReadWrite);
    // The URI that opens the file at path as such an immutable snapshot
    // (with SQLITE_OPEN_URI).
    static std::string SnapshotUri(const std::string& path);
    bool IsOpen() const { return db_ != nullptr || released_; }

    // Closes the connection until the next operation, which opens the store
    // again as Open did (with the same access); nothing while a WriteGroup or
    // ReadSnapshot is under way. A program that waits for a person between
    // pieces of work calls it before waiting, so that nothing it holds over
    // that time (a connection whose file locks something else in the process
    // dropped, a log that another program deleted under it) can lose or
    // overwrite a later write.
    void Release();
    // The file the store was opened from (also when it could not be opened).
    const std::string& Path() const { return path_; }
    // Whether writes are refused (a read-only file, or one without durable syncing).
    bool IsReadOnly() const { return readOnly_; }
    // How long an operation waits for a store that another program holds
    // before it fails as busy (10 s unless set; kept when the store is opened
    // again). A program that must stay responsive sets a short wait and lets
    // the person try again.
    void SetBusyTimeout(int milliseconds);

    // Creates the key at path with every missing level. Fails when the store
    // cannot be written or a level's name has a character the store lacks.
    Status OpenKey(std::string_view path);

    // Write text (UTF-8, stored as Windows-1251 without a terminating zero) or a
    // number into the key at path, creating it when missing. Nothing is written
    // on failure: a text over 1024 characters, a character the code page lacks
    // in the text, the name or the path (InvalidInput), or a failed write.
    // Inside a WriteGroup the first failure also makes the group's Commit fail.
    Status SetKeyText(std::string_view path, std::string_view name, std::string_view text);
    Status SetKeyNumber(std::string_view path, std::string_view name, std::int32_t value);
    // Writes a value with any type code and exact bytes (the language importer).
    Status SetKeyValue(std::string_view path, std::string_view name, std::int32_t type,
                       std::string_view bytes);

    // Ok when text can be stored as a text value and read back unchanged:
    // at most 1024 bytes in the code page, every character in it, no zero
    // character. Otherwise InvalidInput, whose message calls the text by what
    // (e.g. "the identifier of target 2") and names the characters it lacks.
    static Status CheckText(std::string_view what, std::string_view text);

    // Writing many new keys at once (an import of examples): value names are
    // checked and encoded once by EncodeName, and each key is made with all
    // its values in one statement, several times faster than a write per value.
    struct EncodedName {
        std::string name;   // Windows-1251, as stored
        std::string lname;  // the same lowered: how the store compares names
    };
    // Fails (InvalidInput) for a name the store cannot hold; encoded is then unchanged.
    static Status EncodeName(std::string_view name, EncodedName& encoded);
    struct NewValue {
        const EncodedName* name;
        std::int32_t type;
        std::string_view bytes;  // exactly as stored (text already in the code page)
    };
    // Creates the key `name` below the key at parent (made when missing) and
    // writes values into it; no two values may have the same lowered name, and
    // in the order of their lowered names they are written fastest. Fails,
    // with nothing written, when the key exists already or on a failed write,
    // which inside a WriteGroup also makes the group's Commit fail. On
    // success *id (when given) is the new key's id.
    Status CreateKeyWithValues(std::string_view parent, const EncodedName& name,
                               const std::vector<NewValue>& values, std::int64_t* id = nullptr);

    // Removes the key at path with every key and value below it (nothing when
    // it does not exist). The program itself never removes anything; loading a
    // file in place of the program's key does, inside one WriteGroup, so the
    // removal commits or rolls back with the writes that follow it. Fails
    // when the store could not be written; inside a WriteGroup that also
    // makes the group's Commit fail.
    Status DeleteKeyTree(std::string_view path);

    // Every read says whether it could read: a read the store refused (an
    // I/O error, a lock held past the wait, a damaged file) fails with the
    // store's reason, and never reads as a missing key or a shorter list.

    // Reads a value. Not found when the key or value is missing, its stored size
    // is 0 or over 1024 bytes. Exactly one trailing zero byte is dropped. Text
    // is decoded from Windows-1251; a number reads as "&h" and its hex digits;
    // any other type is found and leaves text as it was. Ok when found;
    // NotFound (text empty) when not; otherwise the failure (text empty).
    Status GetKeyText(std::string_view path, std::string_view name, std::string& text) const;
    // value: the stored number (signed), or 0 when not found or not a number
    // (both Ok). On a failure value is 0.
    Status GetKeyNumber(std::string_view path, std::string_view name, std::int32_t& value) const;

    // The writes made while a WriteGroup lives commit together on Commit, or
    // not at all. Groups nest; only the outermost one commits. A group that is
    // destroyed without Commit rolls back. Starting a group takes the store's
    // write lock, so reads inside it see a state no other process changes.
    class WriteGroup {
      public:
        explicit WriteGroup(Registry& registry);
        ~WriteGroup();
        WriteGroup(const WriteGroup&) = delete;
        WriteGroup& operator=(const WriteGroup&) = delete;
        // Commits; on failure nothing of the group is stored and the message says why.
        Status Commit();

      private:
        Registry& registry_;
        bool done_ = false;
    };

    // Many reads in one read transaction: one consistent snapshot, and much
    // faster than a transaction per read. No-op inside a WriteGroup.
    class ReadSnapshot {
      public:
        explicit ReadSnapshot(const Registry& registry);
        ~ReadSnapshot();
        ReadSnapshot(const ReadSnapshot&) = delete;
        ReadSnapshot& operator=(const ReadSnapshot&) = delete;

      private:
        const Registry& registry_;
        bool began_ = false;
    };

    // One value met by ForEachSubkeyValue. The views stay valid during the
    // callback only. Names are as stored: lowered Windows-1251 bytes.
    struct StreamedValue {
        std::int64_t subkeyId = 0;  // equal for all values of one subkey
        std::string_view subkeyLname;
        std::string_view lname;
        std::int32_t type = 0;
        std::string_view data;
    };
    // Bulk reading: calls visit once for every value of every direct subkey of
    // path, in one pass; all values of one subkey come together, one subkey
    // after another. visit must not use this Registry. Decode what it meets
    // with NumberOf and TextOf, which apply exactly the read rules of
    // GetKeyNumber and GetKeyText, so that a bulk reader sees what those reads
    // would see. Meets nothing when path is missing. On a failure visit has
    // met only part of the values, and the result says why.
    template <typename Visit>
    Status ForEachSubkeyValue(std::string_view path, Visit&& visit) const {
        return StreamSubkeyValues(path, &visit, [](void* v, const StreamedValue& value) {
            (*static_cast<std::remove_reference_t<Visit>*>(v))(value);
        });
    }
    // Keys by id, for a table derived from the keys and values (see
    // DerivedStatement). A key keeps its id while it lives.
    // id: the key at path, or -1 when it is missing (both Ok).
    Status KeyId(std::string_view path, std::int64_t& id) const;
    // count: how many direct subkeys key id has (0 for none, or for id < 1).
    Status SubkeyCount(std::int64_t id, std::size_t& count) const;
    // Reads key id when it is a direct subkey of parent: found, its lowered
    // name, and visit once for each of its values in lowered-name order, as
    // ForEachSubkeyValue meets them. found is false (and nothing is visited)
    // when id is no such key. On a failure visit has met part of the values.
    template <typename Visit>
    Status ReadSubkey(std::int64_t parent, std::int64_t id, bool& found, Visit&& visit) const {
        return StreamSubkey(parent, id, found, &visit, [](void* v, const StreamedValue& value) {
            (*static_cast<std::remove_reference_t<Visit>*>(v))(value);
        });
    }

    // Tables derived from the keys and values and kept beside them (the
    // compact rows of the examples). Their owner names them with a prefix of
    // its own ("compact" makes compact_...), makes them with ExecDerived and
    // runs its statements on them with DerivedStatement; keys and values it
    // reaches only through this class. The store marks what changes under
    // it: KeepChangeMarks makes, when missing, the table prefix_dirty and
    // triggers that put in it the id of every key that is made, renamed,
    // replaced or removed, or one of whose values is written or removed,
    // whoever writes (this program, another, or a hand edit with the sqlite3
    // shell). The owner reads and clears the marks with its own statements on
    // prefix_dirty (columns: key).
    Status KeepChangeMarks(std::string_view prefix);
    // How many tables and triggers KeepChangeMarks makes.
    static int ChangeMarkObjects();
    // count: how many tables and triggers of the store are named prefix_...
    Status DerivedObjectCount(std::string_view prefix, std::int64_t& count) const;
    // Runs statements (a schema) on the derived tables.
    Status ExecDerived(const char* sql, const std::string& what);
    // A statement on the derived tables; invalid (saying why) when the store
    // is closed or the statement cannot be prepared.
    std::unique_ptr<SqlStatement> DerivedStatement(const char* sql) const;
    // While paused, writes of this Registry make no change marks: a writer
    // that keeps the derived table in step itself saves their cost. Only
    // inside a WriteGroup; the group's end lets them fire again.
    Status PauseChangeMarks(bool paused);

    // What GetKeyNumber returns for a stored value of this type and these bytes.
    static std::int32_t NumberOf(std::int32_t type, std::string_view data);
    // What GetKeyText does for a stored value: false (and text empty) when
    // not found; text left as passed for a type other than text and number.
    static bool TextOf(std::int32_t type, std::string_view data, std::string& text);

    // Enumeration, for export only: the program itself never enumerates.
    struct RawValue {
        std::string name;  // UTF-8
        std::int32_t type = 0;
        std::string bytes;  // as stored
    };
    // On a failure the answer is false or empty and the result says why.
    Status KeyExists(std::string_view path, bool& exists) const;
    // Subkey names (UTF-8) of path, in case-insensitive order (none when missing).
    Status SubkeyNames(std::string_view path, std::vector<std::string>& names) const;
    // Values of path, in case-insensitive name order (none when missing).
    Status Values(std::string_view path, std::vector<RawValue>& values) const;

  private:
    // Whether the store is connected, after connecting it again when it was released.
    bool Connected() const;
    Status StreamSubkeyValues(std::string_view path, void* context,
                              void (*visit)(void*, const StreamedValue&)) const;
    Status StreamSubkey(std::int64_t parent, std::int64_t id, bool& found, void* context,
                        void (*visit)(void*, const StreamedValue&)) const;
    // Forgets the key ids read before another connection changed the store
    // (it may have removed and made keys again under new ids). Inside a group
    // the write lock keeps everyone else out and BeginGroup checks once; a
    // read snapshot sees one state and is checked once.
    void ForgetKeysChangedElsewhere() const {
        if (groupDepth_ == 0 && !versionChecked_) CheckDataVersion();
    }
    void CheckDataVersion() const;
    // The id of the key at path; NotFound when missing (id -1).
    Status FindKey(std::string_view path, std::int64_t& id) const;
    // The type and bytes of a value; NotFound when it or its key is missing.
    Status ReadValue(std::string_view path, std::string_view name, std::int32_t& type,
                     std::string& data) const;
    // A failed read of the store, naming its file.
    Status ReadFailure(const Status& failure) const;
    Status CreateKey(std::string_view path, std::int64_t& id);
    Status Write(std::string_view path, std::string_view name, std::int32_t type, std::string_view bytes);
    // Remembers the first failure of a group for its Commit; returns status.
    Status Failed(Status status);
    // The failure of the last SQLite call, of the kind its result code says.
    Status SqliteFailure(const std::string& what) const;
    bool Exec(const char* sql) const;
    SqlStatement& Prepare(int slot) const;
    // The statement that inserts `rows` values into one key (1..kValuesPerStatement).
    SqlStatement& PrepareValuesInsert(std::size_t rows);
    Status ReadOnlyFailure() const;
    bool BeginGroup();
    Status EndGroup(bool commit);

    std::string path_;
    sqlite3* db_ = nullptr;
    bool readOnly_ = true;
    Access access_ = Access::kReadWrite;
    int busyTimeout_ = 10000;     // milliseconds
    std::string readOnlyReason_;  // why a writable file is only read (empty: the file is read-only)
    bool released_ = false;       // Release closed the connection; the next operation opens it
    Status reopenFailure_;        // why the last connecting again failed
    int groupDepth_ = 0;
    Status groupError_;
    mutable std::vector<std::unique_ptr<SqlStatement>> statements_;
    std::vector<std::unique_ptr<SqlStatement>> valuesInserts_;  // by row count
    // Lowered path -> key id. Removing keys (DeleteKeyTree, here or in
    // another program) can give a path a new id: the cache is cleared when
    // this Registry removes keys or rolls a group back, and when the store's
    // data version says another connection committed since it was filled.
    mutable std::unordered_map<std::string, std::int64_t> keyCache_;
    mutable std::int64_t dataVersion_ = -1;  // when keyCache_ was last known good
    mutable bool versionChecked_ = false;    // in this read snapshot
    bool changeMarksPaused_ = false;
    mutable bool readSnapshot_ = false;
    // The key the last write went to (cleared when a group rolls back).
    mutable std::string lastKeyPath_;
    std::int64_t lastKeyId_ = -1;
};

}  // namespace morvel
