#pragma once

#include "ttextpool.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class TRecordTable;

// One field of the table's current row (or of the row being appended), by position. A field
// that does not exist (a name the table lacks) reads as null and takes no value.
class TRecordField
{
public:
    TRecordField(TRecordTable *table, int index)
        : Table_(table)
        , Index_(index)
    {}

    bool IsValid() const;
    int Index() const { return Index_; }
    QString FieldName() const;
    bool IsNull() const;
    QString AsString() const;
    QVariant Value() const;
    // False when the table is not appending a row or the value does not fit the field
    // (a text that is no 32-bit integer for aNO); the field is then left as it was.
    bool SetAsString(const QString &text) const;
    bool SetValue(const QVariant &value) const; // a null variant clears the field
    // The text's bytes as they stand, whatever code page they are in (aNO reads them as a
    // whole number); a file's bytes are stored and written back unchanged.
    bool SetAsBytes(QByteArrayView bytes) const;
    bool Clear() const;

private:
    TRecordTable *Table_;
    int Index_;
};

// The in-memory record table: nine fields, rows in append order, no key. Built to hold
// millions of rows in little memory: texts are interned in a pool and a row keeps 32-bit codes,
// so a recording costs about 37 bytes a row, and appending never copies the rows already held.
// Text fields hold the system's 8-bit code page, which is UTF-8 here, cut to 20 characters.
class TRecordTable : public QObject
{
    Q_OBJECT
public:
    enum Field : int { aNO, aTime, aMMode, aMValue, aMUnit, aSMode, aSValue, aSUnit, aFreq };
    static constexpr int FieldCount = 9;
    static constexpr int TextWidth = 20;
    // The most bytes a field's value can hold: 20 characters of four bytes each.
    static constexpr int MaxFieldBytes = 4 * TextWidth;

    static QString FieldName(int field);
    // Names are matched without regard to case; -1 when there is no such field.
    static int FieldIndex(QStringView name);
    static bool IsTextField(int field) { return field > aNO && field < FieldCount; }
    // The first 20 characters of the text in the table's 8-bit form; a multi-byte character
    // is kept whole or not at all.
    static QByteArray StoredText(const QString &text);
    // How many leading bytes of a text the table keeps: 20 characters, where a valid UTF-8
    // sequence is one character and any other byte (text in another code page) is one.
    static qsizetype StoredLength(QByteArrayView bytes);
    // A whole number in decimal, with an optional sign and blanks around it.
    static std::optional<std::int64_t> ParseWholeNumber(QByteArrayView text);
    // A whole number that fits aNO.
    static std::optional<std::int32_t> ParseNumber(QByteArrayView text);

    explicit TRecordTable(QObject *parent = nullptr);
    ~TRecordTable() override;

    // Posted rows; a row being appended is not counted until it is posted.
    qsizetype RecordCount() const { return Count_; }

    // Any row, without moving the cursor.
    bool IsNullAt(qsizetype row, int field) const;
    QString TextAt(qsizetype row, int field) const; // "" for null
    QVariant ValueAt(qsizetype row, int field) const;
    QByteArray BytesAt(qsizetype row, int field) const;
    // The field's bytes copied into buffer (MaxFieldBytes long at least), without allocating:
    // their count, or -1 for a null field. aNO is copied as decimal text.
    int CopyBytesAt(qsizetype row, int field, char *buffer) const;
    // aNO as the number it is kept as; nullopt for a null one.
    std::optional<std::int32_t> NumberAt(qsizetype row) const;

    // Appending: Append opens an all-null row after the last; fields are set through Fields()
    // or FieldByName(); Post adds it and makes it the current row, Cancel drops it.
    void Append();
    bool Post();
    void Cancel();
    bool IsAppending() const { return Appending_; }

    TRecordField Fields(int index) { return TRecordField(this, index); }
    TRecordField FieldByName(QStringView name) { return TRecordField(this, FieldIndex(name)); }

    // The cursor. Eof is true once Next has passed the last row, and on an empty table.
    void First();
    void Next();
    void Last();
    bool Eof() const { return Eof_; }
    qsizetype RecNo() const { return Cursor_; } // 0-based; -1 on an empty table
    bool MoveTo(qsizetype row);

    // Appends every posted row of source after the last row, as if each had been appended and
    // posted, but reported to the grid as one block. Returns the rows appended, fewer only when
    // the table is full. A row being appended here stays pending.
    qsizetype AppendRows(const TRecordTable &source);

    // Removes every row; the fields stay.
    void Empty();

    // While disabled (calls nest), the rows appended and the cursor's moves are not reported,
    // so walking or filling the table does not drag the grid along; enabling reports the rows
    // added meanwhile in one go and moves the grid to the cursor.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return Disabled_ > 0; }

    // Bytes held by the table's own buffers.
    std::size_t MemoryUsage() const;

signals:
    // Rows first..last (0-based) were posted; the grid shows them now.
    void RowsAppended(qsizetype first, qsizetype last);
    void AboutToEmpty();
    void Emptied();
    // The cursor is on this row now (-1: no row).
    void CurrentRowChanged(qsizetype row);

private:
    friend class TRecordField;
    static constexpr int BlockRows = 4096;
    static constexpr std::uint32_t NullCode = 0xFFFFFFFFu;
    struct Block;
    struct Cell
    {
        bool Null = true;
        std::int32_t Number = 0;
        QByteArray Text;
    };

    bool currentIsNull(int field) const;
    QVariant currentValue(int field) const;
    bool setCell(int field, const QVariant &value);
    bool setCellBytes(int field, QByteArrayView bytes);
    bool full() const;
    Block &nextRow(qsizetype &r);
    static void setNumber(Block &b, qsizetype r, bool null, std::int32_t number);
    void reportAppended(qsizetype first);
    std::uint32_t encode(const QByteArray &text);
    QByteArray decode(std::uint32_t code) const;
    void reportCursor();

    std::vector<std::unique_ptr<Block>> Blocks_;
    TTextPool Pool_;
    qsizetype Count_ = 0;
    qsizetype Cursor_ = -1;
    bool Eof_ = true;
    bool Appending_ = false;
    std::array<Cell, FieldCount> Pending_;
    int Disabled_ = 0;
    qsizetype Reported_ = 0; // rows announced through RowsAppended
};
