function visualiseF(fname)
  % visualiseF(fname): plot a temperature profile written by Tepora.
  %   fname holds ndr rows (row 1 = strand axis, last row = surface) by ndz
  %   columns (column 1 = inlet) of temperatures in degC. The grid steps are
  %   read from ../Input/NumSettings.txt (line 1: dr in m, line 2: dz in m).
  %   Writes a PNG beside fname (same name, extension .png); also keeps a
  %   window open when a display is available.
  if nargin < 1 || isempty(fname)
    fname = 'TempProfile_final.mat';
  end
  try
    T = load('-ascii', fname);
  catch
    printf('visualiseF: cannot read %s, no plot made\n', fname);
    return;
  end
  if isempty(T) || ~isnumeric(T)
    printf('visualiseF: %s holds no temperatures, no plot made\n', fname);
    return;
  end
  [ndr, ndz] = size(T);

  % Grid steps; cell indices when the settings cannot be read.
  dr = NaN; dz = NaN;
  fid = fopen(fullfile('..', 'Input', 'NumSettings.txt'), 'r');
  if fid >= 0
    v = fscanf(fid, '%f');
    fclose(fid);
    if numel(v) >= 2 && all(isfinite(v(1:2))) && all(v(1:2) > 0)
      dr = v(1); dz = v(2);
    end
  end
  if isfinite(dr)
    r = ((0:ndr-1) + 0.5) * dr;          % cell centres
    z = ((0:ndz-1) + 0.5) * dz;
    rlab = 'radius r (m)';
    zlab = 'distance from inlet z (m)';
  else
    r = 0:ndr-1;
    z = 0:ndz-1;
    rlab = 'radial cell index (grid steps unknown)';
    zlab = 'axial cell index (grid steps unknown)';
  end

  headless = isempty(getenv('DISPLAY'));
  if headless
    graphics_toolkit('gnuplot');
    fig = figure('visible', 'off', 'position', [100 100 900 700]);
  else
    fig = figure('position', [100 100 900 700]);
  end

  [~, base, ~] = fileparts(fname);
  pngname = [base '.png'];
  d = fileparts(fname);
  if ~isempty(d)
    pngname = fullfile(d, pngname);
  end
  ttl = strrep(fname, '_', '\_');

  % (a) temperature over radius and distance from the inlet
  subplot(2, 1, 1);
  imagesc(z, r, T);
  set(gca, 'ydir', 'normal');
  colormap(jet(256));
  cb = colorbar();
  ylabel(cb, 'temperature (degC)');
  xlabel(zlab);
  ylabel(rlab);
  title(sprintf('%s: temperature field (axis at bottom, surface at top)', ttl));

  % (b) surface and axis temperature along the strand
  subplot(2, 1, 2);
  plot(z, T(end, :), 'b-', 'linewidth', 1.5, z, T(1, :), 'r-', 'linewidth', 1.5);
  grid on;
  xlim([min(z) max(z) + (numel(z) == 1)]);
  xlabel(zlab);
  ylabel('temperature (degC)');
  legend('surface (last row)', 'axis (first row)', 'location', 'northeast');
  title(sprintf('%s: surface and axis temperature', ttl));

  print(fig, pngname, '-dpng', '-r100');
  printf('visualiseF: wrote %s\n', pngname);
  if headless
    close(fig);
  end
end
