#include "analysis/FilenameAnalyzer.h"

#include "analysis/FilenameFilter.h"
#include "analysis/FilenameTokenizer.h"

namespace lucene::analysis::filename {

FilenameAnalyzer::FilenameAnalyzer() = default;

FilenameAnalyzer::~FilenameAnalyzer() = default;

TokenStream* FilenameAnalyzer::tokenStream(const TCHAR*, lucene::util::Reader* reader)
{
    // Each filter owns the stream it wraps; the caller owns the outermost.
    return new LowerCaseFilter(new FilenameFilter(new FilenameTokenizer(reader)), true);
}

} // namespace lucene::analysis::filename
