#include "batch/batch_options.h"

#include <functional>
#include <map>

#include "engine/points/number_text.h"

namespace {

// Sets one option from its value; returns what is wrong with the value, or "".
using ValueSetter = std::function<std::string(const std::string&, BatchOptions&)>;

std::string invalid(const std::string& option, const std::string& value, const char* expected) {
    return "invalid value '" + value + "' for " + option + ": expected " + expected;
}

template <typename Enum>
std::optional<Enum> pick(const std::string& value,
                         const std::vector<std::pair<const char*, Enum>>& names, int count) {
    for (const auto& [name, e] : names)
        if (value == name) return e;
    std::optional<int> index = parse_int(value);
    if (index && *index >= 0 && *index < count && value.find_first_of("+-") == std::string::npos)
        return static_cast<Enum>(*index);
    return std::nullopt;
}

std::optional<CenteringMode> centering(const std::string& value) {
    return pick<CenteringMode>(value,
                               {{"none", CenteringMode::NotCenter},
                                {"mean", CenteringMode::CenterToMean},
                                {"point", CenteringMode::CenterToPoint}},
                               3);
}

std::vector<std::string> split_commas(const std::string& value) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = value.find(',', start);
        parts.push_back(value.substr(start, comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

ValueSetter number(std::optional<double> BatchOptions::*field) {
    return [field](const std::string& value, BatchOptions& o) -> std::string {
        std::optional<double> v = parse_double(value, '.');
        if (!v) return "a number written with '.' as decimal separator";
        o.*field = *v;
        return {};
    };
}

ValueSetter centering_of(std::optional<CenteringMode> BatchOptions::*field) {
    return [field](const std::string& value, BatchOptions& o) -> std::string {
        std::optional<CenteringMode> mode = centering(value);
        if (!mode) return "none, mean, point or 0..2";
        o.*field = *mode;
        return {};
    };
}

// An option that shapes the export: it only makes sense with --export.
ValueSetter shaping(const char* option, ValueSetter setter) {
    return [option, setter](const std::string& value, BatchOptions& o) -> std::string {
        if (o.export_option.empty()) o.export_option = option;
        return setter(value, o);
    };
}

template <typename Kind>
ValueSetter named_kind(Kind ExportOptions::*field, std::optional<Kind> (*named)(std::string_view),
                       const char* expected) {
    return [field, named, expected](const std::string& value, BatchOptions& o) -> std::string {
        const std::optional<Kind> kind = named(value);
        if (!kind) return expected;
        o.export_options.*field = *kind;
        return {};
    };
}

const std::map<std::string, ValueSetter>& value_options() {
    static const std::map<std::string, ValueSetter> options = {
        {"--radius", number(&BatchOptions::search_radius)},
        {"--grid-radius", number(&BatchOptions::grid_radius)},
        {"--alpha", number(&BatchOptions::alpha)},
        {"--threshold", number(&BatchOptions::sv_threshold)},
        {"--min-alpha", number(&BatchOptions::min_alpha)},
        {"--max-alpha", number(&BatchOptions::max_alpha)},
        {"--quotient", number(&BatchOptions::sequence_quotient)},
        {"--center-x", centering_of(&BatchOptions::centering_x)},
        {"--center-y", centering_of(&BatchOptions::centering_y)},
        {"--center-z", centering_of(&BatchOptions::centering_z)},
        {"--center-cba", centering_of(&BatchOptions::centering_cba)},
        {"--tendency",
         [](const std::string& v, BatchOptions& o) -> std::string {
             o.tendency = pick<Tendency>(v,
                                         {{"linear3", Tendency::Linear3x3},
                                          {"linear4", Tendency::Linear4x4},
                                          {"linear6", Tendency::Linear6x6},
                                          {"quadratic", Tendency::Quadratic10x10},
                                          {"nte-fay", Tendency::Linear3x3NteFay}},
                                         5);
             return o.tendency ? "" : "linear3, linear4, linear6, quadratic, nte-fay or 0..4";
         }},
        {"--solver",
         [](const std::string& v, BatchOptions& o) -> std::string {
             o.solver = pick<SolverKind>(v,
                                         {{"gauss-jordan", SolverKind::GaussJordan},
                                          {"moore-penrose", SolverKind::MoorePenrose},
                                          {"tikhonov", SolverKind::Tichonov}},
                                         3);
             return o.solver ? "" : "gauss-jordan, moore-penrose, tikhonov or 0..2";
         }},
        {"--nearest",
         [](const std::string& v, BatchOptions& o) -> std::string {
             o.nearest_count = parse_int(v);
             return o.nearest_count ? "" : "a whole number";
         }},
        {"--iterations",
         [](const std::string& v, BatchOptions& o) -> std::string {
             std::optional<int> k = parse_int(v);
             if (!k || *k < 0 || *k > 10000) return "a whole number from 0 to 10000";
             o.iterations = k;
             return {};
         }},
        {"--object",
         [](const std::string& v, BatchOptions& o) -> std::string {
             if (v == "RGA" || v == "rga") o.iteration_object = 0;
             else if (v == "LGA" || v == "lga") o.iteration_object = 1;
             else return "RGA or LGA";
             return {};
         }},
        {"--columns",
         [](const std::string& v, BatchOptions& o) -> std::string {
             std::vector<int> columns;
             for (const std::string& letter : split_commas(v)) {
                 if (letter.size() != 1) return "five column letters A..Z, such as A,B,C,D,E";
                 char c = letter[0];
                 if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                 if (c < 'A' || c > 'Z') return "five column letters A..Z, such as A,B,C,D,E";
                 columns.push_back(c - 'A');
             }
             if (columns.size() != 5) return "five column letters A..Z, such as A,B,C,D,E";
             o.columns = columns;
             return {};
         }},
        {"--subset",
         [](const std::string& v, BatchOptions& o) -> std::string {
             o.subset_file = v;
             return {};
         }},
        {"--settings",
         [](const std::string& v, BatchOptions& o) -> std::string {
             if (v.empty()) return "a settings file";
             o.settings_file = v;
             return {};
         }},
        {"--on-failed",
         [](const std::string& v, BatchOptions& o) -> std::string {
             if (v == "stop") o.on_failed = OnFailed::Stop;
             else if (v == "skip") o.on_failed = OnFailed::Skip;
             else return "stop or skip";
             return {};
         }},
        {"--threads",
         [](const std::string& v, BatchOptions& o) -> std::string {
             std::optional<int> n = parse_int(v);
             if (!n || *n < 0) return "a whole number, 0 for all cores";
             o.threads = static_cast<unsigned>(*n);
             return {};
         }},
        {"--preview",
         [](const std::string& v, BatchOptions& o) -> std::string {
             if (v.empty()) return "a folder";
             o.preview_dir = v;
             return {};
         }},
        {"--preview-vars",
         [](const std::string& v, BatchOptions& o) -> std::string {
             std::vector<std::string> vars = split_commas(v);
             if (vars.size() != 3) return "three list entries, such as CBA,HGGAX,HGGAY";
             for (const std::string& var : vars)
                 if (var.empty()) return "three list entries, such as CBA,HGGAX,HGGAY";
             o.preview_vars = vars;
             return {};
         }},
        {"--export",
         [](const std::string& v, BatchOptions& o) -> std::string {
             if (v.empty()) return "a folder";
             o.export_dir = v;
             return {};
         }},
        {"--export-vars", shaping("--export-vars", [](const std::string& v, BatchOptions& o) {
             std::vector<std::string> vars;
             if (v != "none") vars = split_commas(v);
             for (const std::string& var : vars)
                 if (var.empty()) return std::string("variable names separated by commas, or none");
             o.export_vars = vars;
             return std::string();
         })},
        {"--cell", shaping("--cell", [](const std::string& v, BatchOptions& o) {
             std::optional<double> cell = parse_double(v, '.');
             if (!cell) return std::string("a cell size in metres, written with '.'");
             o.export_options.cell_size = cell;
             return std::string();
         })},
        {"--grid-format", shaping("--grid-format", named_kind(&ExportOptions::grid_format,
                                                              grid_format_named,
                                                              "gtiff, netcdf, gs7bg or dsaa"))},
        {"--grid-type", shaping("--grid-type", named_kind(&ExportOptions::value_type,
                                                          value_type_named,
                                                          "float64 or float32"))},
        {"--points-format", shaping("--points-format", [](const std::string& v, BatchOptions& o) {
             if (v == "none") {
                 o.export_options.station_format.reset();
                 return std::string();
             }
             const std::optional<StationFormat> format = station_format_named(v);
             if (!format) return std::string("gpkg, csv or none");
             o.export_options.station_format = format;
             return std::string();
         })},
        {"--crs", shaping("--crs", [](const std::string& v, BatchOptions& o) {
             o.export_options.crs = v;
             return std::string();
         })},
        {"--from-result", shaping("--from-result", [](const std::string& v, BatchOptions& o) {
             if (v.empty()) return std::string("a result file");
             o.from_result = v;
             return std::string();
         })},
        {"--preview-format",
         [](const std::string& v, BatchOptions& o) -> std::string {
             if (v == "bmp") o.preview_format = PreviewFormat::Bitmap;
             else if (v == "jpg") o.preview_format = PreviewFormat::Jpeg;
             else if (v == "grd") o.preview_format = PreviewFormat::SurferGrid;
             else return "bmp, jpg or grd";
             return {};
         }},
    };
    return options;
}

const std::map<std::string, std::string>& short_names() {
    static const std::map<std::string, std::string> names = {
        {"-r", "--radius"}, {"-t", "--tendency"}, {"-s", "--solver"},
        {"-q", "--quiet"},  {"-h", "--help"},
    };
    return names;
}

OptionsParse failed(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace

OptionsParse parse_batch_options(const std::vector<std::string>& args) {
    BatchOptions o;
    std::vector<std::string> names;
    bool options_end = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (options_end || arg.size() < 2 || arg[0] != '-') {
            names.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_end = true;
            continue;
        }
        if (auto s = short_names().find(arg); s != short_names().end()) arg = s->second;

        std::optional<std::string> value;
        if (std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
        }
        const bool flag = arg == "--help" || arg == "--version" || arg == "--quiet" ||
                          arg == "--include-calc-point";
        if (flag) {
            if (value) return failed("option '" + arg + "' takes no value");
            if (arg == "--help") o.help = true;
            if (arg == "--version") o.version = true;
            if (arg == "--quiet") o.quiet = true;
            if (arg == "--include-calc-point") o.include_calc_point = true;
            continue;
        }
        auto setter = value_options().find(arg);
        if (setter == value_options().end()) return failed("unknown option '" + args[i] + "'");
        if (!value) {
            if (i + 1 >= args.size()) return failed("option '" + arg + "' needs a value");
            value = args[++i];
        }
        std::string expected = setter->second(*value, o);
        if (!expected.empty()) return failed(invalid(arg, *value, expected.c_str()));
    }
    if (o.help || o.version) return {o, {}};

    if (!o.export_option.empty() && !o.export_dir)
        return failed("option '" + o.export_option + "' needs --export DIR");
    if (o.from_result) {
        if (!names.empty()) return failed("--from-result takes no INPUT or OUTPUT: '" + names[0] + "'");
        return {o, {}};
    }
    if (names.size() > 2) return failed("too many file names: '" + names[2] + "'");
    if (names.size() == 1) return failed("both INPUT and OUTPUT are needed");
    if (names.empty() && !o.settings_file)
        return failed("INPUT and OUTPUT are needed (or a --settings file that names them)");
    if (names.size() == 2) {
        o.input_file = names[0];
        o.output_file = names[1];
    }
    return {o, {}};
}

std::string batch_usage() {
    return R"(Usage: orvane-batch [OPTIONS] INPUT OUTPUT
       orvane-batch --from-result RESULT --export DIR [EXPORT OPTIONS]

Fits a local polynomial trend around every point of the survey file INPUT and writes
the gradients to OUTPUT, as the window's "&Calc" does. Numbers on the command line use
"." as decimal separator; the files use the one of the locale.

  -r, --radius M          search radius in metres, above 1e-6 (required unless the
                          --settings file holds one)
  -t, --tendency T        linear3, linear4, linear6, quadratic, nte-fay or 0..4 [linear4]
  -s, --solver S          gauss-jordan, moore-penrose, tikhonov or 0..2 [moore-penrose]
      --nearest N         use the N nearest points instead of the radius
      --iterations K      further passes, 0..10000 [0]
      --object RGA|LGA    object of higher iteration, for the header [RGA]
      --alpha A           correction coefficient between passes [0.01]
      --threshold T       SVD threshold or Tikhonov parameter; below 0 computed [-1]
      --min-alpha A       first regularisation parameter tried [1e-10]
      --max-alpha A       last regularisation parameter tried [1e10]
      --quotient Q        ratio between regularisation parameters [2]
      --center-x C        none, mean or point [point]
      --center-y C        none, mean or point [point]
      --center-z C        none, mean or point [none]
      --center-cba C      none, mean or point [none]
      --include-calc-point
                          the point of calculation may be its own neighbour
      --columns X,Y,P,H,U column letters of x, y, point, height, CBA [A,B,C,D,E]
      --subset FILE       trace the points of FILE into INPUT's _trace_out.dat
      --on-failed stop|skip
                          what to do when a point's system cannot be solved [skip]
      --threads N         threads of the point loop, 0 for all cores [0]
      --settings FILE     start from a settings file written by the window (the
                          options given here override it; INPUT and OUTPUT may then
                          come from the file)
      --preview DIR       write the three preview maps into DIR
      --preview-vars V1,V2,V3
                          list entries of the previews [CBA and the first two entries
                          of the tendency's list]
      --preview-format bmp|jpg|grd
                          bitmap, JPEG or Surfer ASCII grid [bmp]
      --grid-radius M     gridding radius of the previews [the search radius]

Export for a GIS (grids through GDAL with the preview's gridding, station layers with
every value of the result rows at full precision):
      --export DIR        write the grids and the station layer into DIR, named after
                          OUTPUT: OUTPUT-stem_VAR.tif ..., OUTPUT-stem.gpkg
      --export-vars V,... variables to grid, or none: x, y, height, cba and the model's
                          quantities or coefficients (hggax, hggay, hgga, vgga, rga,
                          lga, asig, tilt; a..f; a..q) [all of the model's]
      --cell M            distance of the grid nodes in metres [the preview's: a tenth
                          of the search radius, where the grid is the preview's grid]
      --grid-format F     gtiff (tiled, DEFLATE), netcdf (CF), gs7bg (Surfer 7) or
                          dsaa (Surfer ASCII) [gtiff]
      --grid-type T       float64 or float32 values (gs7bg always float64) [float64]
      --points-format F   gpkg, csv or none [gpkg]
      --crs CRS           coordinate system of the coordinates as read: EPSG:nnnn, WKT
                          or a PROJ string [none: the files carry none]
      --from-result FILE  export a result file written earlier instead of running (its
                          values have the file's 6 decimals; -r serves for N-nearest
                          files, whose header holds no radius)

  -q, --quiet             no progress bar (it is drawn only when stderr is a terminal)
  -h, --help              show this text
      --version           show the version

Ctrl-C stops the run at the next point, as the window's Stop button answered with Yes:
the files are closed and the rows written so far kept. A second Ctrl-C ends at once.

Exit status: 0 success, 1 the run failed (its message printed), 2 wrong options or
settings (nothing was run), 130 stopped by Ctrl-C.
)";
}
