// Writes small system files of every kind the writer makes into a folder, as
// starting points for the fuzzer: each compression and byte order, very long
// strings, lying headers and ZSAV trailers, odd records, and cut-off files.
#include <cstdio>
#include <string>

#include "spssio/testing/SavWriter.h"

using namespace brindle::testing;

namespace {

SavFile smallFile(Compression c, ByteOrder o) {
  SavFile f;
  f.compression = c;
  f.byteOrder = o;
  f.zlibBlockSize = 64;
  f.fileLabel = "seed";
  f.documents = {"one line of documentation"};
  Variable id = Variable::numeric("id", "Identifier");
  id.numericLabels = {{1, "One"}, {2, "Two"}, {99, "Missing"}};
  id.missingCode = -3;
  id.missing[0] = 90;
  id.missing[1] = 99;
  id.missing[2] = -1;
  Variable s3 = Variable::string("Code", 3, "A short string");
  s3.stringLabels = {{"abc", "ABC"}};
  s3.stringMissing = {"zz", "yy"};
  Variable s12 = Variable::string("LongerStringName", 12);
  s12.stringLabels = {{"hello world!", "greeting"}};
  s12.stringMissing = {"none"};
  Variable when = Variable::numeric("when");
  when.print = Format{22, 20, 0};
  Variable w = Variable::numeric("w");
  f.variables = {id, s3, s12, when, w};
  f.weight = "w";
  for (int i = 0; i < 6; ++i)
    f.cases.push_back({i == 2 ? sysmis() : double(i), std::string("ab") + char('a' + i),
                       std::string("héllo wörld"), 13000000000.0 + i * 3600.5, 0.5 + i});
  return f;
}

void save(const std::string& dir, const std::string& name, const Bytes& bytes) {
  const std::string path = dir + "/" + name;
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

// Dictionary damage the reader warns about and reads past: formats that do
// not fit, a weight on a string, labels without their variables record, a
// repeated long-string label, missing values in the layout with one length,
// and a document record after the extension records.
SavFile damagedDictionary(ByteOrder o) {
  SavFile f = smallFile(Compression::Bytecode, o);
  f.variables[0].print = Format{0, 8, 2};
  f.variables[1].write = Format{5, 8, 2};
  f.weightIndex = 2;
  Bytes orphan;
  putInt32(orphan, 3, o);
  putInt32(orphan, 1, o);
  putDouble(orphan, 1, o);
  orphan.push_back(3);
  putPadded(orphan, "one", 7);
  f.injections.push_back({InjectAt::AfterVariables, orphan});
  f.variables[2].stringLabels.push_back({"hello world!", "again"});
  f.variables[2].stringMissing.clear();
  Bytes missing;
  putInt32(missing, 16, o);
  putText(missing, "LongerStringName");
  missing.push_back(3);
  putInt32(missing, 8, o);
  for (const char* v : {"a", "b", "c"}) putPadded(missing, v, 8);
  f.extraExtensions.push_back({22, 1, static_cast<int>(missing.size()), missing});
  Bytes document;
  putInt32(document, 6, o);
  putInt32(document, 1, o);
  putPadded(document, "a late line", 80);
  f.injections.push_back({InjectAt::BeforeTermination, document});
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const char* cname[] = {"none", "bytecode", "zsav"};
  for (Compression c : {Compression::None, Compression::Bytecode, Compression::Zsav})
    for (ByteOrder o : {ByteOrder::Little, ByteOrder::Big}) {
      const Bytes bytes = writeSav(smallFile(c, o));
      const std::string base = std::string(cname[int(c)]) + (o == ByteOrder::Big ? "-be" : "-le");
      save(dir, base + ".sav", bytes);
      save(dir, base + "-cut.sav", truncated(bytes, bytes.size() * 3 / 4));
    }

  SavFile vls;
  vls.variables = {Variable::string("VeryLongText", 700), Variable::numeric("n")};
  vls.cases = {{std::string(700, 'x'), 1.0}, {std::string("short"), 2.5}};
  save(dir, "very-long-string.sav", writeSav(vls));

  SavFile lies = smallFile(Compression::None, ByteOrder::Little);
  lies.headerCases = -1;
  lies.nominalCaseSize = -1;
  lies.extendedCaseCount = false;
  lies.creationDate = "xx yyy zz";
  save(dir, "unknown-count.sav", writeSav(lies));
  lies.compression = Compression::Bytecode;
  lies.bias = 50;
  lies.headerCases = 1000;
  save(dir, "count-too-large-bias-50.sav", writeSav(lies));

  SavFile odd = smallFile(Compression::Bytecode, ByteOrder::Little);
  odd.documentsTwice = true;
  odd.encodingRecord = false;
  odd.characterCode = 1252;
  odd.bytecodeEndCode = true;
  odd.extraExtensions = {{5, 1, 4, textBytes("abcd")}, {24, 1, 6, textBytes("<x/>  ")}};
  save(dir, "odd-records.sav", writeSav(odd));

  // A ZSAV trailer that disagrees with its blocks, and a block that inflates
  // to more than the trailer declares.
  for (ByteOrder o : {ByteOrder::Little, ByteOrder::Big}) {
    SavLayout layout;
    Bytes lying = writeSav(smallFile(Compression::Zsav, o), &layout);
    patchInt64(lying, layout.zlibTrailerStart, -50, o);
    patchInt32(lying, layout.zlibTrailerStart + 24 + 16, 60, o);
    save(dir, std::string("zsav-lying-trailer") + (o == ByteOrder::Big ? "-be" : "-le") + ".sav",
         lying);
    SavFile one;
    one.byteOrder = o;
    one.variables = {Variable::numeric("x")};
    Bytes oversize = writeZsavBlocks(one, {Bytes(64, 101), Bytes(4096, 101)}, &layout);
    patchInt32(oversize, layout.zlibTrailerStart + 24 + 24 + 16, 64, o);
    save(dir, std::string("zsav-oversize-block") + (o == ByteOrder::Big ? "-be" : "-le") + ".sav",
         oversize);
  }

  SavFile empty;
  empty.extendedCaseCount = false;
  save(dir, "no-variables.sav", writeSav(empty));

  save(dir, "damaged-dictionary-le.sav", writeSav(damagedDictionary(ByteOrder::Little)));
  save(dir, "damaged-dictionary-be.sav", writeSav(damagedDictionary(ByteOrder::Big)));
  return 0;
}
