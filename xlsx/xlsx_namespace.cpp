// The spreadsheet writer lives in namespace Xlsx.
namespace Xlsx {}
