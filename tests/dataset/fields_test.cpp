#include "dataset/fields.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "dataset/data_set_base.h"

namespace velorin {
namespace {

// A dataset of one record held in memory, to drive the fields.
class MemoryDataSet : public TDataSetBase {
 public:
  MemoryDataSet() : TDataSetBase("Memory") {}

  void Define(std::vector<TFieldDef> defs) {
    MutableFieldDefs().Clear();
    for (auto& def : defs) MutableFieldDefs().Add(def);
  }
  void Open() {
    CreateFields();
    SetState(TDataSetState::Browse);
  }
  void Close() {
    DestroyFields();
    SetState(TDataSetState::Inactive);
  }
  void Edit() { SetState(TDataSetState::Edit); }
  void Browse() { SetState(TDataSetState::Browse); }
  using TDataSetBase::CalcFieldCount;

  TFieldData GetFieldData(const TField& field) override { return values[Key(field)]; }

  void SetFieldData(TField& field, const TFieldData& value) override {
    if (State() != TDataSetState::Edit && State() != TDataSetState::Insert) {
      DatabaseError("Dataset not in edit or insert mode");
    }
    field.Validate(value);
    values[Key(field)] = value;
    field.Changed();
  }

  std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override {
    return std::make_unique<Stream>(*this, Key(field), mode);
  }

  std::map<int, TFieldData> values;  // by column number
  std::map<int, std::string> blobs;

 private:
  static int Key(const TField& field) { return field.Calculated() ? 1000 + field.CalcIndex() : field.FieldNo(); }

  class Stream : public TStream {
   public:
    Stream(MemoryDataSet& owner, int key, TBlobStreamMode mode) : owner_(owner), key_(key), mode_(mode) {
      if (mode != TBlobStreamMode::Write) content_ = owner.blobs[key];
    }
    ~Stream() override {
      if (mode_ == TBlobStreamMode::Read) return;
      owner_.blobs[key_] = content_;
      owner_.values[key_] = content_.empty() ? TFieldData{} : TFieldData{std::string("x")};
    }
    int32_t Read(void* buffer, int32_t count) override {
      int32_t n = std::min<int32_t>(count, static_cast<int32_t>(content_.size()) - position_);
      if (n <= 0) return 0;
      std::copy_n(content_.data() + position_, n, static_cast<char*>(buffer));
      position_ += n;
      return n;
    }
    int32_t Write(const void* buffer, int32_t count) override {
      content_.resize(static_cast<size_t>(position_));
      content_.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
      position_ += count;
      return count;
    }
    int32_t Seek(int32_t offset, TSeekOrigin) override { return position_ = offset; }
    int32_t Size() const override { return static_cast<int32_t>(content_.size()); }

   private:
    MemoryDataSet& owner_;
    int key_;
    TBlobStreamMode mode_;
    std::string content_;
    int32_t position_ = 0;
  };
};

std::string Raised(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDatabaseError& e) {
    return e.what();
  }
  return "(nothing raised)";
}

std::vector<TFieldDef> AllKinds() {
  return {{"NAME", TFieldKind::String, 10, 1},    {"SMALL", TFieldKind::SmallInt, 0, 2},
          {"BIG", TFieldKind::Integer, 0, 3},     {"PRICE", TFieldKind::Float, 0, 4},
          {"OK", TFieldKind::Boolean, 0, 5},      {"DAY", TFieldKind::Date, 0, 6},
          {"STAMP", TFieldKind::DateTime, 0, 7},  {"NOTE", TFieldKind::Memo, 0, 8},
          {"PICTURE", TFieldKind::Blob, 0, 9}};
}

class FieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.Define(AllKinds());
    data_.Open();
    data_.Edit();
  }
  TField& F(const char* name) { return data_.FieldByName(name); }
  MemoryDataSet data_;
};

TEST(FieldDefinitions, FoundByNameInAnyCase) {
  TFieldDefs defs;
  defs.Add({"NAME", TFieldKind::String, 10, 1});
  defs.Add({"Count", TFieldKind::SmallInt, 0, 2});
  EXPECT_EQ(defs.Count(), 2);
  EXPECT_EQ(defs.Find("name")->FieldNo, 1);
  EXPECT_EQ(defs.Find("COUNT")->Kind, TFieldKind::SmallInt);
  EXPECT_EQ(defs.Find("nam"), nullptr);
  EXPECT_EQ(defs[1].Name, "Count");
}

TEST(FieldKinds, NamesForMessages) {
  EXPECT_STREQ(FieldKindName(TFieldKind::String), "String");
  EXPECT_STREQ(FieldKindName(TFieldKind::SmallInt), "SmallInt");
  EXPECT_STREQ(FieldKindName(TFieldKind::Integer), "Integer");
  EXPECT_STREQ(FieldKindName(TFieldKind::Float), "Float");
  EXPECT_STREQ(FieldKindName(TFieldKind::Boolean), "Boolean");
  EXPECT_STREQ(FieldKindName(TFieldKind::Date), "Date");
  EXPECT_STREQ(FieldKindName(TFieldKind::DateTime), "DateTime");
  EXPECT_STREQ(FieldKindName(TFieldKind::Memo), "Memo");
  EXPECT_STREQ(FieldKindName(TFieldKind::Blob), "Blob");
}

TEST(DefaultFields, MadeFromTheDefinitionsAndDestroyedOnClose) {
  MemoryDataSet data;
  data.Define(AllKinds());
  data.Open();
  ASSERT_EQ(data.FieldCount(), 9);
  EXPECT_EQ(data.Fields()[0]->FieldName(), "NAME");
  EXPECT_EQ(data.Fields()[0]->Size(), 10);
  EXPECT_EQ(data.Fields()[3]->Kind(), TFieldKind::Float);
  EXPECT_EQ(data.Fields()[8]->FieldNo(), 9);
  EXPECT_NE(dynamic_cast<TMemoField*>(data.Fields()[7]), nullptr);
  EXPECT_NE(dynamic_cast<TDateField*>(data.Fields()[5]), nullptr);
  EXPECT_EQ(data.FindField("price"), data.Fields()[3]);
  EXPECT_EQ(data.FindField("nothing"), nullptr);
  EXPECT_EQ(Raised([&] { data.FieldByName("nothing"); }), "Memory: Поле 'nothing' не найдено");
  data.Close();
  EXPECT_EQ(data.FieldCount(), 0);
}

TEST(DeclaredFields, BoundByNameAndKeptAcrossOpenings) {
  MemoryDataSet data;
  data.Define(AllKinds());
  auto& price = data.DeclareField<TFloatField>("Price");
  auto& name = data.DeclareField<TStringField>("name", 4);
  EXPECT_EQ(data.FieldCount(), 2);
  data.Open();
  EXPECT_EQ(price.FieldNo(), 4);
  EXPECT_EQ(name.FieldNo(), 1);
  EXPECT_EQ(data.FieldCount(), 2);  // no default fields beside declared ones
  data.Close();
  EXPECT_EQ(price.FieldNo(), 0);
  EXPECT_EQ(data.FieldCount(), 2);
  EXPECT_EQ(&data.FieldByName("PRICE"), &price);
}

TEST(DeclaredFields, AFieldOfAnotherKindFailsTheOpening) {
  MemoryDataSet data;
  data.Define(AllKinds());
  auto& name = data.DeclareField<TStringField>("NAME", 10);
  data.DeclareField<TIntegerField>("SMALL");
  EXPECT_EQ(Raised([&] { data.Open(); }),
            "Memory: Неправильный тип для поля 'SMALL', требуется: Integer, фактический: SmallInt");
  EXPECT_EQ(name.FieldNo(), 0);  // nothing stays bound
}

TEST(DeclaredFields, AFieldWithoutAColumnFailsTheOpening) {
  MemoryDataSet data;
  data.Define(AllKinds());
  data.DeclareField<TStringField>("MISSING", 10);
  EXPECT_EQ(Raised([&] { data.Open(); }), "Memory: Поле 'MISSING' не найдено");
}

TEST(DeclaredFields, CalculatedFieldsAreNumberedNotBound) {
  MemoryDataSet data;
  data.Define(AllKinds());
  auto& first = data.DeclareField<TStringField>("FULL", 30);
  first.SetCalculated(true);
  auto& second = data.DeclareField<TIntegerField>("TOTAL");
  second.SetCalculated(true);
  data.Open();
  EXPECT_EQ(first.CalcIndex(), 0);
  EXPECT_EQ(second.CalcIndex(), 1);
  EXPECT_EQ(first.FieldNo(), 0);
  EXPECT_EQ(data.CalcFieldCount(), 2);
}

TEST(DeclaredFields, OnlyWhileClosedAndOnlyOnce) {
  MemoryDataSet data;
  data.Define(AllKinds());
  data.DeclareField<TStringField>("NAME", 10);
  EXPECT_EQ(Raised([&] { data.DeclareField<TStringField>("name", 5); }), "Memory: Поле 'name' уже объявлено");
  data.Open();
  EXPECT_EQ(Raised([&] { data.DeclareField<TFloatField>("PRICE"); }),
            "Memory: Не могу выполнить эту операцию над открытым набором данных (dataset)");
  data.Close();
  data.ClearDeclaredFields();
  EXPECT_EQ(data.FieldCount(), 0);
}

TEST(FieldAccess, AFieldWithoutADataSetFails) {
  TStringField loose("LOOSE", 5);
  EXPECT_TRUE(loose.IsNull());
  EXPECT_EQ(Raised([&] { (void)loose.AsString(); }), "Поле 'LOOSE' не связано с набором данных");
}

TEST_F(FieldsTest, NullReadsAsEmptyZeroAndFalse) {
  for (TField* field : data_.Fields()) EXPECT_TRUE(field->IsNull()) << field->FieldName();
  EXPECT_EQ(F("NAME").AsString(), "");
  EXPECT_EQ(F("SMALL").AsInteger(), 0);
  EXPECT_EQ(F("SMALL").AsString(), "");
  EXPECT_EQ(F("PRICE").AsFloat(), 0.0);
  EXPECT_FALSE(F("OK").AsBoolean());
  EXPECT_EQ(F("DAY").AsDateTime().Value, 0.0);
  EXPECT_EQ(F("DAY").AsString(), "");
  EXPECT_EQ(F("NOTE").AsString(), "");
}

TEST_F(FieldsTest, TextIsCutToTheFieldsSize) {
  F("NAME").SetAsString("Constantinople");
  EXPECT_EQ(F("NAME").AsString(), "Constantin");
  EXPECT_EQ(std::get<std::string>(data_.values[1]), "Constantin");
}

TEST_F(FieldsTest, TextConversions) {
  auto& name = F("NAME");
  name.SetAsInteger(-42);
  EXPECT_EQ(name.AsString(), "-42");
  EXPECT_EQ(name.AsInteger(), -42);
  name.SetAsFloat(2.5);
  EXPECT_EQ(name.AsFloat(), 2.5);
  name.SetAsBoolean(true);
  EXPECT_EQ(name.AsString(), "T");
  EXPECT_TRUE(name.AsBoolean());
  name.SetAsString("yes");
  EXPECT_TRUE(name.AsBoolean());
  name.SetAsDateTime(*EncodeDate(2026, 12, 7));
  EXPECT_EQ(name.AsString(), "07.12.2026");
  EXPECT_EQ(name.AsDateTime(), *EncodeDate(2026, 12, 7));
  name.SetAsString("abc");
  EXPECT_EQ(Raised([&] { (void)name.AsInteger(); }),
            "'abc' не является допустимым значением (Integer) для поля 'NAME'");
  EXPECT_EQ(Raised([&] { (void)name.AsFloat(); }), "'abc' не является допустимым значением (Float) для поля 'NAME'");
  name.SetAsString("9999999999");
  EXPECT_EQ(Raised([&] { (void)name.AsInteger(); }), "Значение 9999999999 вне допустимого диапазона поля 'NAME'");
}

TEST_F(FieldsTest, SmallIntegersHoldSixteenBits) {
  auto& small = F("SMALL");
  small.SetAsInteger(-32768);
  EXPECT_EQ(small.AsInteger(), -32768);
  small.SetAsString(" 32767 ");
  EXPECT_EQ(small.AsString(), "32767");
  EXPECT_EQ(Raised([&] { small.SetAsInteger(32768); }), "Значение 32768 вне допустимого диапазона поля 'SMALL'");
  EXPECT_EQ(Raised([&] { small.SetAsString("40000"); }), "Значение 40000 вне допустимого диапазона поля 'SMALL'");
  EXPECT_EQ(small.AsInteger(), 32767);  // unchanged by the refused values
  small.SetAsFloat(12.5);
  EXPECT_EQ(small.AsInteger(), 13);
  EXPECT_EQ(small.AsFloat(), 13.0);
  EXPECT_TRUE(small.AsBoolean());
  small.SetAsString("");
  EXPECT_TRUE(small.IsNull());
  EXPECT_EQ(Raised([&] { small.SetAsString("12x"); }),
            "'12x' не является допустимым значением (Integer) для поля 'SMALL'");
  EXPECT_EQ(Raised([&] { (void)small.AsDateTime(); }), "Поле 'SMALL' типа SmallInt нельзя использовать как DateTime");
}

TEST_F(FieldsTest, IntegersHoldThirtyTwoBits) {
  auto& big = F("BIG");
  big.SetAsInteger(2147483647);
  EXPECT_EQ(big.AsString(), "2147483647");
  EXPECT_EQ(Raised([&] { big.SetAsFloat(2147483648.0); }),
            "Значение 2147483648 вне допустимого диапазона поля 'BIG'");
  EXPECT_EQ(Raised([&] { big.SetAsFloat(std::numeric_limits<double>::quiet_NaN()); }),
            "Значение nan вне допустимого диапазона поля 'BIG'");
  big.SetAsString("-2147483648");
  EXPECT_EQ(big.AsInteger(), -2147483648);
}

TEST_F(FieldsTest, FloatingPoint) {
  auto& price = F("PRICE");
  price.SetAsFloat(3.14159);
  EXPECT_EQ(price.AsString(), "3.14159");
  price.SetAsString("-1.5e3");
  EXPECT_EQ(price.AsFloat(), -1500.0);
  EXPECT_EQ(price.AsInteger(), -1500);
  price.SetAsInteger(7);
  EXPECT_EQ(price.AsFloat(), 7.0);
  EXPECT_EQ(Raised([&] { price.SetAsString("1,5"); }),
            "'1,5' не является допустимым значением (Float) для поля 'PRICE'");
  EXPECT_EQ(Raised([&] { price.SetAsFloat(std::numeric_limits<double>::infinity()); }),
            "Значение inf вне допустимого диапазона поля 'PRICE'");
  price.SetAsFloat(1e20);
  EXPECT_EQ(Raised([&] { (void)price.AsInteger(); }), "Значение 1e+20 вне допустимого диапазона поля 'PRICE'");
  EXPECT_EQ(Raised([&] { (void)price.AsBoolean(); }), "Поле 'PRICE' типа Float нельзя использовать как Boolean");
}

TEST_F(FieldsTest, Logicals) {
  auto& ok = F("OK");
  for (const char* yes : {"T", "t", "Y", "y", "J", "j", "True", " yes"}) {
    ok.SetAsString(yes);
    EXPECT_TRUE(ok.AsBoolean()) << yes;
    EXPECT_EQ(ok.AsString(), "T");
  }
  for (const char* no : {"F", "f", "N", "n", "false"}) {
    ok.SetAsString(no);
    EXPECT_FALSE(ok.AsBoolean()) << no;
    EXPECT_EQ(ok.AsString(), "F");
  }
  EXPECT_EQ(Raised([&] { ok.SetAsString("?"); }), "'?' не является допустимым значением (Boolean) для поля 'OK'");
  ok.SetAsInteger(5);
  EXPECT_EQ(ok.AsInteger(), 1);
  ok.SetAsString(" ");
  EXPECT_TRUE(ok.IsNull());
}

TEST_F(FieldsTest, DatesDropTheTimeOfDay) {
  auto& day = F("DAY");
  day.SetAsDateTime(*EncodeDateTime({2026, 12, 7}, {18, 30, 0, 0}));
  EXPECT_EQ(day.AsDateTime(), *EncodeDate(2026, 12, 7));
  EXPECT_EQ(day.AsString(), "07.12.2026");
  day.SetAsString("01.02.1850");
  EXPECT_EQ(day.AsDateTime(), *EncodeDate(1850, 2, 1));
  day.SetAsDateTime(*EncodeDateTime({1850, 2, 1}, {18, 0, 0, 0}));  // before 1899 too
  EXPECT_EQ(day.AsDateTime(), *EncodeDate(1850, 2, 1));
  EXPECT_EQ(day.AsFloat(), EncodeDate(1850, 2, 1)->Value);
  EXPECT_EQ(Raised([&] { day.SetAsString("31.02.2026"); }),
            "'31.02.2026' не является допустимым значением (Date) для поля 'DAY'");
  EXPECT_EQ(Raised([&] { day.SetAsFloat(1e9); }), "Значение 1000000000 вне допустимого диапазона поля 'DAY'");
  day.SetAsString("");
  EXPECT_TRUE(day.IsNull());
}

TEST_F(FieldsTest, DateTimesKeepTheTimeOfDay) {
  auto& stamp = F("STAMP");
  auto moment = *EncodeDateTime({2026, 12, 7}, {18, 30, 5, 0});
  stamp.SetAsDateTime(moment);
  EXPECT_EQ(stamp.AsDateTime(), moment);
  EXPECT_EQ(stamp.AsString(), "07.12.2026 18:30:05");
  stamp.SetAsString("2026-01-02 03:04");
  EXPECT_EQ(stamp.AsString(), "02.01.2026 03:04:00");
}

TEST_F(FieldsTest, MemoAndBlobContentGoesThroughTheStream) {
  auto& note = F("NOTE");
  note.SetAsString("a long text");
  EXPECT_EQ(data_.blobs[8], "a long text");
  EXPECT_FALSE(note.IsNull());
  EXPECT_EQ(note.AsString(), "a long text");
  EXPECT_EQ(std::get<std::string>(note.Value()), "a long text");
  note.SetAsString("");
  EXPECT_TRUE(note.IsNull());
  auto& picture = F("PICTURE");
  picture.SetValue(std::string("\x00\x01\x02", 3));
  EXPECT_EQ(picture.AsString(), std::string("\x00\x01\x02", 3));
  EXPECT_EQ(Raised([&] { (void)picture.AsInteger(); }), "Поле 'PICTURE' типа Blob нельзя использовать как Integer");
}

TEST_F(FieldsTest, ValuesOfTheWrongFormAreRefused) {
  EXPECT_EQ(Raised([&] { F("SMALL").SetValue(std::string("1")); }),
            "Поле 'SMALL' типа SmallInt нельзя использовать как String");
  EXPECT_EQ(Raised([&] { F("NAME").SetValue(1.5); }), "Поле 'NAME' типа String нельзя использовать как Float");
  F("NAME").SetValue(std::monostate{});
  EXPECT_TRUE(F("NAME").IsNull());
}

TEST_F(FieldsTest, AssignConvertsAnyFormToTheFieldsKind) {
  AssignFieldValue(F("NAME"), std::string("Ivan"));
  AssignFieldValue(F("SMALL"), int32_t{30});
  AssignFieldValue(F("PRICE"), int32_t{3});
  AssignFieldValue(F("BIG"), std::string("12"));
  AssignFieldValue(F("OK"), true);
  AssignFieldValue(F("DAY"), *EncodeDateTime({2026, 12, 7}, {9, 0, 0, 0}));
  AssignFieldValue(F("STAMP"), 1.5);
  EXPECT_EQ(F("NAME").AsString(), "Ivan");
  EXPECT_EQ(F("SMALL").AsInteger(), 30);
  EXPECT_EQ(F("PRICE").AsFloat(), 3.0);
  EXPECT_EQ(F("BIG").AsInteger(), 12);
  EXPECT_TRUE(F("OK").AsBoolean());
  EXPECT_EQ(F("DAY").AsDateTime(), *EncodeDate(2026, 12, 7));
  EXPECT_EQ(F("STAMP").AsFloat(), 1.5);
  AssignFieldValue(F("NAME"), std::monostate{});
  EXPECT_TRUE(F("NAME").IsNull());
}

TEST_F(FieldsTest, ValidationCanRefuseAndChangesAreSignalled) {
  auto& small = F("SMALL");
  int changes = 0;
  small.OnChange = [&](TField&) { ++changes; };
  small.OnValidate = [](TField& field, const TFieldData& value) {
    if (std::get<int32_t>(value) < 0) throw EDatabaseError("negative " + field.FieldName());
  };
  small.SetAsInteger(5);
  EXPECT_EQ(Raised([&] { small.SetAsInteger(-1); }), "negative SMALL");
  EXPECT_EQ(small.AsInteger(), 5);
  EXPECT_EQ(changes, 1);
}

TEST_F(FieldsTest, WritingOutsideEditingIsTheDataSetsToRefuse) {
  data_.Browse();
  EXPECT_EQ(Raised([&] { F("NAME").SetAsString("x"); }), "Dataset not in edit or insert mode");
}

}  // namespace
}  // namespace velorin
